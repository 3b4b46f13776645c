#pragma once
// TLS (1.2 or later) over a connected TcpSocket, in either role, with the socket's own
// non-blocking Receive/SendSome semantics so that what runs above a plain socket runs above
// this unchanged. OpenSSL works on memory buffers here and the socket carries the bytes: the
// same code on POSIX sockets and Winsock, and the socket's Wake still ends every wait.
#include <cstdint>
#include <memory>
#include <string>

#include "NonCopyable.h"
#include "TcpSocket.h"
#include "TelnetCodec.h"
#include "TlsCertificate.h"
#include "TlsOptions.h"

namespace kaldor {

// A server's identity and what it asks of clients, loaded once and shared by its connections.
// A server serves a connection so: TcpListener::Accept into a TcpSocket, TlsStream(socket)
// .Accept(identity, ...) for the client's certificate (CommonName, Fingerprint), then the
// stream's Receive and SendSome, waiting on the socket unless Readable() (and for writable
// while Backlog()). Accept blocks for the handshake, HandshakeTimeoutMs at most.
class TlsServerIdentity : NonCopyable {
public:
    TlsServerIdentity();
    ~TlsServerIdentity();
    // certFile and keyFile (PEM) must match. clientCa, a PEM file or a directory of hashed
    // certificates (openssl rehash), makes a client certificate signed by (or in) it required;
    // empty: none is asked for. False with the reason in error; the key's contents never in it.
    bool Load(const std::string& certFile, const std::string& keyFile, const std::string& clientCa,
              std::string& error);
    bool Loaded() const;
    // Asks every client for a certificate and takes whichever it shows, for the server to judge
    // itself (CertificateAllowed); without clientCa.
    void AskForAnyClientCertificate();

private:
    friend class TlsStream;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// ser2net's authdir layout: cert is allowed when a certificate of the same fingerprint is in
// <authDir>/<its common name>/allowed_certs/. A common name that is not a plain file name
// ("..", a slash) is never allowed.
bool CertificateAllowed(const std::string& authDir, const CertificateInfo& cert);

class TlsStream : NonCopyable {
public:
    // socket must be connected (or accepted) and outlive this.
    explicit TlsStream(TcpSocket& socket);
    ~TlsStream();

    enum class Outcome {
        Linked,  // handshake done, the station verified
        Unknown, // handshake done, the station neither matches StationFile nor a stored
                 // fingerprint, and there is neither: nothing may be sent; the caller closes
        Failed,  // error says why, in the console's words
    };
    // Client role: the handshake with the station at host, bounded by timeoutMs and
    // MaxHandshakeBytes, ended early by the socket's Wake. station is the certificate the
    // station showed (when it showed one).
    Outcome Connect(const std::string& host, const TlsOptions& options, int timeoutMs,
                    CertificateInfo& station, std::string& error);
    // Server role, bounded the same way. client is the certificate the client showed (its
    // CommonName is ser2net's user name), empty when none was asked for or shown.
    bool Accept(const TlsServerIdentity& identity, int timeoutMs, CertificateInfo& client,
                std::string& error);

    // As TcpSocket's, on the decrypted stream: the count, 0 when nothing waits / nothing is
    // taken now, -1 when the connection is gone. error() then says why when TLS knows more
    // (the station refused this console's certificate, for one).
    int Receive(uint8_t* buffer, int size);
    int SendSome(const uint8_t* data, int size);
    // Decrypted bytes are waiting already: read before waiting on the socket.
    bool Readable() const;
    // Encrypted bytes wait for the connection to take them: wait for it to be writable too,
    // and call SendSome (a count of 0 only sends those).
    bool Backlog() const;
    const std::string& Failure() const { return failure_; }
    // The station asked for the console's certificate. ser2net judges it after the handshake and
    // may then just close, even after its first bytes: a close while the line is being set up
    // is its refusal.
    bool CertificateAsked() const;
    static constexpr const char* RefusedText = "the station refused this console's certificate";
    // The far side answered with a TLS record: a TLS server, whatever became of the handshake.
    bool SawTls() const;
    // Says goodbye (close_notify) as far as the connection takes it now; the socket stays open.
    void Shutdown();

    static constexpr int HandshakeTimeoutMs = 5000;
    // A station whose handshake passes this (a megabyte of certificate chain) is refused.
    static constexpr long MaxHandshakeBytes = 256 * 1024;
    // Encrypted bytes held for a connection that takes nothing, before SendSome takes no more.
    static constexpr size_t MaxBacklog = 64 * 1024;

private:
    // -1, with the reason kept in failure_; the lock held.
    int Lost(int sslError);

    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string failure_;
};

} // namespace kaldor
