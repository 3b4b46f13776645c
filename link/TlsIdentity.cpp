#include "TlsIdentity.h"

#ifdef _WIN32
// Before OpenSSL: <wincrypt.h> defines X509_NAME, which OpenSSL's headers take back.
#include "link/WindowsApi.h"
#include <sddl.h>
#endif

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kaldor {
namespace {

using Bio = std::unique_ptr<BIO, decltype(&BIO_free)>;
using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Cert = std::unique_ptr<X509, decltype(&X509_free)>;

std::string MemoryText(BIO* bio) {
    char* data = nullptr;
    const long n = BIO_get_mem_data(bio, &data);
    return n > 0 ? std::string(data, static_cast<size_t>(n)) : std::string();
}

bool WritePlainFile(const std::string& path, const std::string& text, std::string& error) {
    Bio out(BIO_new_file(path.c_str(), "wb"), BIO_free);
    if (!out || BIO_write(out.get(), text.data(), static_cast<int>(text.size())) != static_cast<int>(text.size()) ||
        BIO_flush(out.get()) != 1) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

} // namespace

#ifdef _WIN32
bool WritePrivateFile(const std::string& path, const std::string& text, std::string& error) {
    // An access list with the user alone, not inherited from the folder.
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        error = "cannot write " + path + ": no user token";
        return false;
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::string buffer(size, '\0');
    LPWSTR sid = nullptr;
    const bool haveSid = GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
                         ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid);
    CloseHandle(token);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const std::wstring sddl = haveSid ? L"D:P(A;;FA;;;" + std::wstring(sid) + L")" : std::wstring();
    if (sid) LocalFree(sid);
    if (!haveSid || !ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                          &descriptor, nullptr)) {
        error = "cannot write " + path + ": no access list for the user";
        return false;
    }
    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), descriptor, FALSE};
    const std::wstring wide = std::filesystem::u8path(path).wstring();
    const std::wstring fresh = wide + L".new";
    DeleteFileW(fresh.c_str());
    HANDLE h = CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    LocalFree(descriptor);
    DWORD written = 0;
    const bool ok = h != INVALID_HANDLE_VALUE &&
                    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size() && FlushFileBuffers(h);
    DWORD failure = ok ? 0 : GetLastError(); // before CloseHandle and DeleteFileW overwrite it
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    if (ok && !MoveFileExW(fresh.c_str(), wide.c_str(), MOVEFILE_REPLACE_EXISTING)) failure = GetLastError();
    if (failure != 0 || !ok) {
        DeleteFileW(fresh.c_str());
        error = "cannot write " + path + " (error " + std::to_string(failure) + ")";
        return false;
    }
    return true;
}
#else
bool WritePrivateFile(const std::string& path, const std::string& text, std::string& error) {
    const std::string fresh = path + ".new";
    ::unlink(fresh.c_str());
    const int fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    bool ok = fd >= 0;
    for (size_t done = 0; ok && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<size_t>(n);
    }
    int saved = ok ? 0 : errno;
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        saved = errno;
    }
    // Closed whatever happened before: a failed write or sync must not leak the descriptor.
    if (fd >= 0 && ::close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && ::rename(fresh.c_str(), path.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        error = "cannot write " + path + ": " + std::strerror(saved);
        ::unlink(fresh.c_str());
        return false;
    }
    return true;
}
#endif

bool MakeIdentity(const std::string& commonName, const std::string& certFile, const std::string& keyFile,
                  CertificateInfo& info, std::string& error) {
    info = {};
    if (commonName.empty() || commonName.size() > 64) {
        error = "the name must have 1 to 64 characters";
        return false;
    }
    Key key(EVP_EC_gen("P-256"), EVP_PKEY_free);
    Cert cert(X509_new(), X509_free);
    if (!key || !cert) {
        error = "cannot make a key";
        return false;
    }
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), static_cast<long>(std::time(nullptr)));
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -86400L);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 3650 * 86400L);
    X509_NAME* subject = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
    X509_set_issuer_name(cert.get(), subject);
    X509_set_pubkey(cert.get(), key.get());
    if (X509_sign(cert.get(), key.get(), EVP_sha256()) == 0) {
        error = "cannot sign the certificate";
        return false;
    }
    Bio keyText(BIO_new(BIO_s_mem()), BIO_free), certText(BIO_new(BIO_s_mem()), BIO_free);
    if (!PEM_write_bio_PrivateKey(keyText.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) ||
        !PEM_write_bio_X509(certText.get(), cert.get())) {
        error = "cannot write the key";
        return false;
    }
    std::string secret = MemoryText(keyText.get());
    const bool written = WritePrivateFile(keyFile, secret, error);
    OPENSSL_cleanse(secret.data(), secret.size());
    if (!written || !WritePlainFile(certFile, MemoryText(certText.get()), error)) return false;
    info = DescribeCertificate(cert.get());
    return true;
}

bool CheckIdentity(const std::string& certFile, const std::string& keyFile, CertificateInfo& info,
                   std::string& error) {
    info = {};
    std::string certText, keyText;
    if (!ReadPemText(certFile, certText, error)) return false;
    Bio certIn(BIO_new_mem_buf(certText.data(), static_cast<int>(certText.size())), BIO_free);
    Cert cert(certIn ? PEM_read_bio_X509(certIn.get(), nullptr, nullptr, nullptr) : nullptr, X509_free);
    if (!cert) {
        error = certFile + " holds no certificate (PEM)";
        return false;
    }
    if (!ReadPemText(keyFile, keyText, error)) return false;
    Bio keyIn(BIO_new_mem_buf(keyText.data(), static_cast<int>(keyText.size())), BIO_free);
    // No passphrase prompt: an encrypted key is refused, not asked for on a terminal.
    Key key(keyIn ? PEM_read_bio_PrivateKey(keyIn.get(), nullptr, [](char*, int, int, void*) { return 0; }, nullptr)
                  : nullptr,
            EVP_PKEY_free);
    OPENSSL_cleanse(keyText.data(), keyText.size());
    if (!key) {
        error = "the key file holds no private key (unencrypted PEM)";
        return false;
    }
    if (X509_check_private_key(cert.get(), key.get()) != 1) {
        error = "the key does not belong to the certificate " + certFile;
        return false;
    }
    info = DescribeCertificate(cert.get());
    return true;
}

} // namespace kaldor
