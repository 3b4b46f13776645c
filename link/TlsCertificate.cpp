#include "TlsCertificate.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cctype>
#include <memory>

namespace kaldor {
namespace {

std::string HexPairs(const unsigned char* bytes, unsigned n) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned i = 0; i < n; ++i) {
        if (i) text += ':';
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

std::string NameLine(const X509_NAME* name, int flags) {
    std::unique_ptr<BIO, decltype(&BIO_free)> out(BIO_new(BIO_s_mem()), BIO_free);
    if (!out || !name) return {};
    X509_NAME_print_ex(out.get(), name, 0, flags);
    char* data = nullptr;
    const long n = BIO_get_mem_data(out.get(), &data);
    return n > 0 ? std::string(data, static_cast<size_t>(n)) : std::string();
}

} // namespace

CertificateInfo DescribeCertificate(const X509* cert) {
    CertificateInfo info;
    if (!cert) return info;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned n = 0;
    if (X509_digest(cert, EVP_sha256(), digest, &n) == 1) info.Fingerprint = HexPairs(digest, n);
    info.Current = X509_cmp_current_time(X509_get0_notBefore(cert)) < 0 &&
                   X509_cmp_current_time(X509_get0_notAfter(cert)) > 0;
    const X509_NAME* subject = X509_get_subject_name(cert);
    // One line, "CN=dl1abc, O=Station": control characters escaped, so a hostile name cannot
    // break the line it is shown on.
    info.Subject = NameLine(subject, (XN_FLAG_ONELINE & ~ASN1_STRFLGS_ESC_MSB) | ASN1_STRFLGS_ESC_CTRL);
    const int at = X509_NAME_get_index_by_NID(subject, NID_commonName, -1);
    if (at >= 0) {
        const ASN1_STRING* cn = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, at));
        unsigned char* utf8 = nullptr;
        const int len = ASN1_STRING_to_UTF8(&utf8, cn);
        if (len > 0) info.CommonName.assign(reinterpret_cast<char*>(utf8), static_cast<size_t>(len));
        OPENSSL_free(utf8);
    }
    return info;
}

bool ReadCertificateFile(const std::string& path, CertificateInfo& info, std::string& error) {
    info = {};
    std::unique_ptr<BIO, decltype(&BIO_free)> in(BIO_new_file(path.c_str(), "rb"), BIO_free);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    // A PEM reader on a huge file would read it whole first.
    char probe;
    if (BIO_seek(in.get(), MaxCertificateFileBytes) == 0 && BIO_read(in.get(), &probe, 1) == 1) {
        error = path + " is too large for a certificate";
        return false;
    }
    BIO_seek(in.get(), 0);
    X509* cert = PEM_read_bio_X509(in.get(), nullptr, nullptr, nullptr);
    if (!cert) {
        error = path + " holds no certificate (PEM)";
        return false;
    }
    info = DescribeCertificate(cert);
    X509_free(cert);
    return true;
}

bool NormaliseFingerprint(const std::string& text, std::string& normalised) {
    normalised.clear();
    if (text.size() > 256) return false;
    std::string lower;
    for (char c : text) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    size_t at = 0;
    for (const char* prefix : {"sha256 fingerprint=", "sha256:", "sha256"}) {
        const std::string p(prefix);
        if (lower.compare(0, p.size(), p) == 0) {
            at = p.size();
            break;
        }
    }
    while (at < lower.size() && (lower[at] == ' ' || lower[at] == '\t')) ++at;
    size_t end = lower.size();
    while (end > at && std::isspace(static_cast<unsigned char>(lower[end - 1]))) --end;
    std::string hex;
    bool afterDigit = false;
    for (; at < end; ++at) {
        const char c = lower[at];
        if (std::isxdigit(static_cast<unsigned char>(c))) {
            hex += c;
            afterDigit = true;
        } else if ((c == ':' || c == ' ') && afterDigit && hex.size() % 2 == 0) {
            afterDigit = false; // one separator, between pairs only
        } else {
            return false;
        }
    }
    if (hex.size() != 64 || !afterDigit) return false;
    for (size_t i = 0; i < hex.size(); i += 2) {
        if (i) normalised += ':';
        normalised += static_cast<char>(std::toupper(static_cast<unsigned char>(hex[i])));
        normalised += static_cast<char>(std::toupper(static_cast<unsigned char>(hex[i + 1])));
    }
    return true;
}

} // namespace kaldor
