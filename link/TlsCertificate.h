#pragma once
// What the console shows and stores of a certificate: its SHA-256 fingerprint as
// colon-separated uppercase hex ("AB:CD:..."), the form ser2net's users compare by eye, and its
// subject on one line. No Qt: the opener's thread and the window both use it.
#include <string>

typedef struct x509_st X509;

namespace kaldor {

struct CertificateInfo {
    std::string Fingerprint; // "AB:CD:...", 32 pairs
    std::string Subject;     // "CN=dl1abc, O=..." on one line
    std::string CommonName;  // the subject's CN, empty when it has none (ser2net's user name)
    bool Current = false;    // within its validity dates now
};

// Of a certificate in memory. An empty Fingerprint when cert is null.
CertificateInfo DescribeCertificate(const X509* cert);
// Of the first certificate in a PEM file. False with the reason in error (no file, not a
// certificate); never throws, never reads more than MaxCertificateFileBytes.
bool ReadCertificateFile(const std::string& path, CertificateInfo& info, std::string& error);
constexpr long MaxCertificateFileBytes = 1 << 20;

// A stored or typed fingerprint in its one form: 32 hex pairs, uppercase, colon-separated.
// Takes upper or lower case, with colons, blanks or nothing between pairs, and an optional
// "SHA256:" / "sha256 Fingerprint=" prefix as openssl prints it. False for anything else
// (wrong length, other characters), and normalised is then left empty.
bool NormaliseFingerprint(const std::string& text, std::string& normalised);

} // namespace kaldor
