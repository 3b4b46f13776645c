#include "TlsStream.h"

namespace kaldor {

struct TlsServerIdentity::Impl {};
TlsServerIdentity::TlsServerIdentity() : impl_(std::make_unique<Impl>()) {}
TlsServerIdentity::~TlsServerIdentity() = default;
bool TlsServerIdentity::Load(const std::string&, const std::string&, const std::string&, std::string& error) {
    error = "TLS is not built in";
    return false;
}
bool TlsServerIdentity::Loaded() const { return false; }

struct TlsStream::Impl {};
TlsStream::TlsStream(TcpSocket&) : impl_(std::make_unique<Impl>()) {}
TlsStream::~TlsStream() = default;
TlsStream::Outcome TlsStream::Connect(const std::string&, const TlsOptions&, int, CertificateInfo&, std::string& error) {
    error = "TLS is not built in";
    return Outcome::Failed;
}
bool TlsStream::Accept(const TlsServerIdentity&, int, CertificateInfo&, std::string& error) {
    error = "TLS is not built in";
    return false;
}
int TlsStream::Receive(uint8_t*, int) { return -1; }
int TlsStream::SendSome(const uint8_t*, int) { return -1; }
bool TlsStream::Readable() const { return false; }
bool TlsStream::Backlog() const { return false; }
void TlsStream::Shutdown() {}

} // namespace kaldor
