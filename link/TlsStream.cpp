#include "TlsStream.h"

#include "Clock.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <utility>
#include <sys/stat.h>

namespace kaldor {
namespace {

// Key files with a passphrase are refused rather than prompted for on a terminal nobody watches.
int NoPassphrase(char*, int, int, void*) { return 0; }

void Harden(SSL_CTX* ctx) {
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_options(ctx, SSL_OP_NO_RENEGOTIATION | SSL_OP_NO_COMPRESSION);
    SSL_CTX_set_max_cert_list(ctx, TlsStream::MaxHandshakeBytes);
    SSL_CTX_set_default_passwd_cb(ctx, NoPassphrase);
}

// Loads certFile and keyFile as ctx's own; who is named in the error: "the console", "the server".
bool UseIdentity(SSL_CTX* ctx, const std::string& certFile, const std::string& keyFile,
                 const std::string& who, std::string& error) {
    if (SSL_CTX_use_certificate_chain_file(ctx, certFile.c_str()) != 1) {
        error = "cannot use " + certFile + " as " + who + "'s certificate";
        return false;
    }
    // The key's path and contents stay out of every message.
    if (SSL_CTX_use_PrivateKey_file(ctx, keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
        error = "cannot read " + who + "'s private key";
        return false;
    }
    if (SSL_CTX_check_private_key(ctx) != 1) {
        error = who + "'s private key does not belong to its certificate";
        return false;
    }
    return true;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Alerts a station sends about the certificate it was shown, or about the lack of one.
bool IsCertificateAlert(int reason) {
    switch (reason) {
    case SSL_R_SSLV3_ALERT_HANDSHAKE_FAILURE:
    case SSL_R_SSLV3_ALERT_BAD_CERTIFICATE:
    case SSL_R_SSLV3_ALERT_UNSUPPORTED_CERTIFICATE:
    case SSL_R_SSLV3_ALERT_CERTIFICATE_REVOKED:
    case SSL_R_SSLV3_ALERT_CERTIFICATE_EXPIRED:
    case SSL_R_SSLV3_ALERT_CERTIFICATE_UNKNOWN:
    case SSL_R_TLSV1_ALERT_UNKNOWN_CA:
    case SSL_R_TLSV1_ALERT_ACCESS_DENIED:
    case SSL_R_TLSV1_ALERT_DECRYPT_ERROR:
    case SSL_R_TLSV13_ALERT_CERTIFICATE_REQUIRED: return true;
    default: return false;
    }
}

std::string VerifyFailure(long code, const std::string& host) {
    switch (code) {
    case X509_V_ERR_CERT_HAS_EXPIRED: return "the station's certificate has expired";
    case X509_V_ERR_CERT_NOT_YET_VALID: return "the station's certificate is not yet valid";
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH: return "the station's certificate is not for " + host;
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_CERT_UNTRUSTED:
    case X509_V_ERR_CERT_SIGNATURE_FAILURE:
        return "the station's certificate is neither the station file's nor signed by it (unknown CA)";
    default:
        return std::string("the station's certificate does not verify: ") +
               X509_verify_cert_error_string(code);
    }
}

} // namespace

// --- The server's identity ------------------------------------------------------------------

struct TlsServerIdentity::Impl {
    SSL_CTX* Ctx = nullptr;
    ~Impl() { SSL_CTX_free(Ctx); }
};

TlsServerIdentity::TlsServerIdentity() : impl_(std::make_unique<Impl>()) {}
TlsServerIdentity::~TlsServerIdentity() = default;
bool TlsServerIdentity::Loaded() const { return impl_->Ctx != nullptr; }

bool TlsServerIdentity::Load(const std::string& certFile, const std::string& keyFile,
                             const std::string& clientCa, std::string& error) {
    SSL_CTX_free(std::exchange(impl_->Ctx, nullptr));
    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    if (!ctx) {
        error = "TLS is not available";
        return false;
    }
    Harden(ctx);
    bool ok = UseIdentity(ctx, certFile, keyFile, "the server", error);
    if (ok && !clientCa.empty()) {
        const bool dir = IsDirectory(clientCa);
        ok = SSL_CTX_load_verify_locations(ctx, dir ? nullptr : clientCa.c_str(),
                                           dir ? clientCa.c_str() : nullptr) == 1;
        if (!ok) error = "cannot use " + clientCa + " for the clients' certificates";
        if (ok && !dir) SSL_CTX_set_client_CA_list(ctx, SSL_load_client_CA_file(clientCa.c_str()));
        SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER | SSL_VERIFY_FAIL_IF_NO_PEER_CERT, nullptr);
    }
    if (!ok) {
        SSL_CTX_free(ctx);
        return false;
    }
    impl_->Ctx = ctx;
    return true;
}

namespace {
int AcceptAny(int, X509_STORE_CTX*) { return 1; }
} // namespace

void TlsServerIdentity::AskForAnyClientCertificate() {
    if (impl_->Ctx) SSL_CTX_set_verify(impl_->Ctx, SSL_VERIFY_PEER, AcceptAny);
}

bool CertificateAllowed(const std::string& authDir, const CertificateInfo& cert) {
    const std::string& cn = cert.CommonName;
    if (cn.empty() || cn == "." || cn == ".." || cn.find_first_of("/\\:") != std::string::npos ||
        cert.Fingerprint.empty())
        return false;
    const std::string dir = authDir + "/" + cn + "/allowed_certs";
    std::error_code error;
    std::filesystem::directory_iterator it(dir, error), end;
    // Bounded, whatever the directory holds.
    for (int seen = 0; !error && it != end && seen < 1000; it.increment(error), ++seen) {
        CertificateInfo allowed;
        std::string ignored;
        if (it->is_regular_file(error) && ReadCertificateFile(it->path().string(), allowed, ignored) &&
            allowed.Fingerprint == cert.Fingerprint)
            return cert.Current;
    }
    return false;
}

// --- The stream -----------------------------------------------------------------------------

struct TlsStream::Impl {
    explicit Impl(TcpSocket& socket) : Socket(socket) {}
    ~Impl() {
        SSL_free(Ssl); // and its two buffers
        SSL_CTX_free(OwnCtx);
    }

    // Moves what OpenSSL wrote into the backlog and sends what the connection takes of it.
    bool FlushOut() {
        char chunk[4096];
        int n;
        while ((n = BIO_read(Out, chunk, sizeof chunk)) > 0) Backlog.insert(Backlog.end(), chunk, chunk + n);
        if (Backlog.empty()) return true;
        const int sent = Socket.SendSome(Backlog.data(), static_cast<int>(Backlog.size()));
        if (sent < 0) return false;
        Backlog.erase(Backlog.begin(), Backlog.begin() + sent);
        return true;
    }

    // Moves what the connection has into OpenSSL's input; false at its end.
    bool FillIn() {
        uint8_t raw[16384];
        for (int i = 0; i < 4 && BIO_ctrl_pending(In) < 65536; ++i) {
            const int n = Socket.Receive(raw, sizeof raw);
            if (n < 0) {
                Eof = true;
                BIO_set_mem_eof_return(In, 0); // OpenSSL sees the end after the last byte
                return false;
            }
            if (n == 0) break;
            if (RawTotal == 0) FirstByte = raw[0];
            RawTotal += n;
            BIO_write(In, raw, n);
            if (n < static_cast<int>(sizeof raw)) break; // drained: spare the system call
        }
        return true;
    }

    // Why OpenSSL failed, in the console's words.
    std::string Failure(bool client) {
        const unsigned long err = ERR_peek_last_error();
        const int reason = ERR_GET_REASON(err);
        if (client && IsCertificateAlert(reason) && CertificateAsked)
            return RefusedText;
        if (client && (reason == SSL_R_WRONG_VERSION_NUMBER || reason == SSL_R_PACKET_LENGTH_TOO_LONG ||
                       reason == SSL_R_EXCESSIVE_MESSAGE_SIZE))
            return reason == SSL_R_EXCESSIVE_MESSAGE_SIZE ? "the station's handshake is too large"
                                                          : "not a TLS server (is it rfc2217://?)";
        if (reason == SSL_R_NO_RENEGOTIATION) return "renegotiation refused";
        char text[256] = "the connection ended";
        if (err) ERR_error_string_n(err, text, sizeof text);
        return std::string("TLS failed: ") + text;
    }

    // The handshake in either role, until done, timeoutMs, too many bytes, or Wake.
    bool Shake(bool client, int timeoutMs, std::string& error) {
        // On the console's clock, which tests step; the waits are short so that a step shows.
        const TDateTime deadline = Now() + timeoutMs / 1000.0 * OneSecond;
        for (;;) {
            ERR_clear_error();
            const int r = SSL_do_handshake(Ssl);
            const int e = SSL_get_error(Ssl, r);
            if (!FlushOut()) {
                error = "the connection closed during the TLS handshake";
                return false;
            }
            if (r == 1) {
                // What came with the handshake's last records (a server's first data) waits in
                // the input, where no wait on the socket would see it.
                MoreMaybe = BIO_ctrl_pending(In) > 0 || SSL_has_pending(Ssl);
                return true;
            }
            if (e != SSL_ERROR_WANT_READ && e != SSL_ERROR_WANT_WRITE) {
                error = Eof && ERR_peek_last_error() == 0 ? "the connection closed during the TLS handshake"
                                                          : Failure(client);
                if (client && Eof && CertificateAsked) error = RefusedText;
                return false;
            }
            if (Eof) {
                error = "the connection closed during the TLS handshake";
                return false;
            }
            const double left = (deadline - Now()) / OneSecond * 1000.0;
            if (left <= 0) {
                error = "no TLS handshake within " + std::to_string(timeoutMs / 1000) + " s";
                return false;
            }
            const TcpSocket::WaitResult w =
                Socket.WaitReadable(std::min(static_cast<int>(left) + 1, 200), !Backlog.empty());
            if (w == TcpSocket::WaitResult::Woken) {
                error = "cancelled";
                return false;
            }
            if (w == TcpSocket::WaitResult::Failed) {
                error = "the connection failed during the TLS handshake";
                return false;
            }
            FillIn();
            // A Telnet server answers a ClientHello with its own negotiation (IAC ...), never
            // with a TLS record.
            if (client && RawTotal > 0 && (FirstByte < 0x14 || FirstByte > 0x17)) {
                error = "not a TLS server (is it rfc2217://?)";
                return false;
            }
            if (RawTotal > MaxHandshakeBytes) {
                error = client ? "the station's handshake is too large" : "the client's handshake is too large";
                return false;
            }
        }
    }

    TcpSocket& Socket;
    std::mutex M; // the reading thread's Receive and the window thread's SendSome
    SSL_CTX* OwnCtx = nullptr;
    SSL* Ssl = nullptr;
    BIO* In = nullptr;  // owned by Ssl
    BIO* Out = nullptr; // owned by Ssl
    ByteVector Backlog;
    bool Eof = false;
    bool MoreMaybe = false; // the last read gave data: more may be waiting in OpenSSL already
    bool CertificateAsked = false;
    bool GotData = false;
    long RawTotal = 0;
    uint8_t FirstByte = 0;
};

TlsStream::TlsStream(TcpSocket& socket) : impl_(std::make_unique<Impl>(socket)) {}
TlsStream::~TlsStream() = default;

namespace {
int NoteCertificateAsked(SSL* ssl, void* arg) {
    (void)ssl;
    *static_cast<bool*>(arg) = true;
    return 1;
}

bool Attach(SSL* ssl, BIO*& in, BIO*& out) {
    in = BIO_new(BIO_s_mem());
    out = BIO_new(BIO_s_mem());
    if (!in || !out) {
        BIO_free(in);
        BIO_free(out);
        return false;
    }
    SSL_set_bio(ssl, in, out);
    return true;
}
} // namespace

TlsStream::Outcome TlsStream::Connect(const std::string& host, const TlsOptions& options,
                                      int timeoutMs, CertificateInfo& station, std::string& error) {
    Impl& d = *impl_;
    station = {};
    d.OwnCtx = SSL_CTX_new(TLS_client_method());
    if (!d.OwnCtx) {
        error = "TLS is not available";
        return Outcome::Failed;
    }
    Harden(d.OwnCtx);
    // Checked below, after the handshake: the words for each refusal are ours, and an unknown
    // station still shows its certificate.
    SSL_CTX_set_verify(d.OwnCtx, SSL_VERIFY_NONE, nullptr);
    if ((!options.CertificateFile.empty() || !options.KeyFile.empty()) &&
        !UseIdentity(d.OwnCtx, options.CertificateFile, options.KeyFile, "the console", error))
        return Outcome::Failed;
    SSL_CTX_set_cert_cb(d.OwnCtx, NoteCertificateAsked, &d.CertificateAsked);
    d.Ssl = SSL_new(d.OwnCtx);
    if (!d.Ssl || !Attach(d.Ssl, d.In, d.Out)) {
        error = "TLS is not available";
        return Outcome::Failed;
    }
    SSL_set_connect_state(d.Ssl);
    const bool literal = host.find(':') != std::string::npos ||
                         host.find_first_not_of("0123456789.") == std::string::npos;
    if (!literal) SSL_set_tlsext_host_name(d.Ssl, host.c_str());
    if (!d.Shake(true, timeoutMs, error)) return Outcome::Failed;

    X509* peer = SSL_get1_peer_certificate(d.Ssl);
    if (!peer) {
        error = "the station showed no certificate";
        return Outcome::Failed;
    }
    station = DescribeCertificate(peer);
    Outcome outcome = Outcome::Linked;
    if (!options.StationFile.empty()) {
        X509_STORE* store = X509_STORE_new();
        X509_STORE_CTX* check = X509_STORE_CTX_new();
        if (!store || !check || X509_STORE_load_file(store, options.StationFile.c_str()) != 1) {
            error = "cannot read the station's certificate file " + options.StationFile;
            outcome = Outcome::Failed;
        } else {
            // The station's own certificate is trusted as it is; one a CA signed must also name
            // the host.
            bool own = false;
            STACK_OF(X509_OBJECT)* objects = X509_STORE_get0_objects(store);
            for (int i = 0; i < sk_X509_OBJECT_num(objects); ++i) {
                X509* c = X509_OBJECT_get0_X509(sk_X509_OBJECT_value(objects, i));
                own = own || (c && X509_cmp(c, peer) == 0);
            }
            X509_STORE_CTX_init(check, store, peer, SSL_get_peer_cert_chain(d.Ssl));
            X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(check);
            X509_VERIFY_PARAM_set_flags(param, X509_V_FLAG_PARTIAL_CHAIN);
            if (!own && literal) X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str());
            else if (!own) X509_VERIFY_PARAM_set1_host(param, host.c_str(), 0);
            if (X509_verify_cert(check) != 1) {
                error = VerifyFailure(X509_STORE_CTX_get_error(check), host);
                outcome = Outcome::Failed;
            }
        }
        X509_STORE_CTX_free(check);
        X509_STORE_free(store);
    } else if (!options.TrustedFingerprint.empty()) {
        std::string stored;
        if (!NormaliseFingerprint(options.TrustedFingerprint, stored)) stored = options.TrustedFingerprint;
        if (stored != station.Fingerprint) {
            error = "the station's certificate has changed: trusted " + stored + ", now " + station.Fingerprint;
            outcome = Outcome::Failed;
        }
    } else {
        error = "the station's certificate is not known yet (SHA-256 " + station.Fingerprint + ")";
        outcome = Outcome::Unknown;
    }
    X509_free(peer);
    return outcome;
}

bool TlsStream::Accept(const TlsServerIdentity& identity, int timeoutMs, CertificateInfo& client,
                       std::string& error) {
    Impl& d = *impl_;
    client = {};
    if (!identity.Loaded()) {
        error = "no server certificate";
        return false;
    }
    d.Ssl = SSL_new(identity.impl_->Ctx);
    if (!d.Ssl || !Attach(d.Ssl, d.In, d.Out)) {
        error = "TLS is not available";
        return false;
    }
    SSL_set_accept_state(d.Ssl);
    if (!d.Shake(false, timeoutMs, error)) return false;
    if (X509* peer = SSL_get1_peer_certificate(d.Ssl)) {
        client = DescribeCertificate(peer);
        X509_free(peer);
    }
    return true;
}

int TlsStream::Receive(uint8_t* buffer, int size) {
    std::lock_guard<std::mutex> lock(impl_->M);
    Impl& d = *impl_;
    if (!d.Ssl) return -1;
    if (!d.FlushOut()) return Lost(SSL_ERROR_SYSCALL);
    if (SSL_pending(d.Ssl) == 0) d.FillIn();
    ERR_clear_error();
    const int r = SSL_read(d.Ssl, buffer, size);
    const int e = SSL_get_error(d.Ssl, r);
    if (!d.FlushOut()) return -1;
    d.MoreMaybe = r > 0; // one record at a time: more may wait until a read finds none
    if (r > 0) {
        d.GotData = true;
        return r;
    }
    if (e == SSL_ERROR_WANT_READ && !d.Eof) return 0;
    if (e == SSL_ERROR_WANT_WRITE) return 0;
    return Lost(e);
}

int TlsStream::Lost(int sslError) {
    Impl& d = *impl_;
    // The station judges the console's certificate after the handshake (ser2net even with TLS
    // 1.2): its refusal comes at the first read, as an alert or as a close before any data.
    if (failure_.empty() && !SSL_is_server(d.Ssl) && d.CertificateAsked && !d.GotData)
        failure_ = RefusedText;
    if (failure_.empty() && sslError != SSL_ERROR_ZERO_RETURN) failure_ = d.Failure(SSL_is_server(d.Ssl) == 0);
    return -1;
}

int TlsStream::SendSome(const uint8_t* data, int size) {
    std::lock_guard<std::mutex> lock(impl_->M);
    Impl& d = *impl_;
    if (!d.Ssl) return -1;
    if (!d.FlushOut()) return Lost(SSL_ERROR_SYSCALL);
    if (size <= 0 || d.Backlog.size() >= MaxBacklog) return 0;
    ERR_clear_error();
    const int r = SSL_write(d.Ssl, data, size); // whole: the output is memory
    if (r <= 0) return Lost(SSL_get_error(d.Ssl, r));
    if (!d.FlushOut()) return Lost(SSL_ERROR_SYSCALL);
    return r;
}

bool TlsStream::Readable() const {
    std::lock_guard<std::mutex> lock(impl_->M);
    return impl_->Ssl && (impl_->MoreMaybe || SSL_pending(impl_->Ssl) > 0);
}

bool TlsStream::CertificateAsked() const { return impl_->CertificateAsked; }

bool TlsStream::SawTls() const { return impl_->RawTotal > 0 && impl_->FirstByte >= 0x14 && impl_->FirstByte <= 0x17; }

bool TlsStream::Backlog() const {
    std::lock_guard<std::mutex> lock(impl_->M);
    return !impl_->Backlog.empty() || (impl_->Out && BIO_ctrl_pending(impl_->Out) > 0);
}

void TlsStream::Shutdown() {
    std::lock_guard<std::mutex> lock(impl_->M);
    if (!impl_->Ssl || !SSL_is_init_finished(impl_->Ssl)) return;
    ERR_clear_error();
    SSL_shutdown(impl_->Ssl);
    impl_->FlushOut();
}

} // namespace kaldor
