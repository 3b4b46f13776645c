#pragma once
// Keys and certificates a test makes for itself (OpenSSL's API, P-256), in a temporary
// directory that goes with the object.
#include <map>
#include <string>

#include "link/NonCopyable.h"

typedef struct evp_pkey_st EVP_PKEY;
typedef struct x509_st X509;

namespace kaldor::test {

class TlsFiles : NonCopyable {
public:
    TlsFiles();
    ~TlsFiles();

    // Writes <dir>/<name>.crt and <name>.key: valid fromDays to toDays from now, signed by
    // issuer (a name made before; empty: self-signed), altName "IP:127.0.0.1" or
    // "DNS:station.example" (empty: none).
    void Make(const std::string& name, const std::string& commonName, int fromDays = -1, int toDays = 30,
              const std::string& issuer = "", const std::string& altName = "", bool ca = false);
    std::string Cert(const std::string& name) const { return dir_ + "/" + name + ".crt"; }
    std::string Key(const std::string& name) const { return dir_ + "/" + name + ".key"; }
    std::string Fingerprint(const std::string& name) const;
    const std::string& Dir() const { return dir_; }

private:
    struct Made {
        EVP_PKEY* Key;
        X509* Cert;
    };
    std::string dir_;
    std::map<std::string, Made> made_;
};

} // namespace kaldor::test
