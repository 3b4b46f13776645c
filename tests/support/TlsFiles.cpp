#include "TlsFiles.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <stdexcept>

#include "link/TlsCertificate.h"

namespace kaldor::test {

TlsFiles::TlsFiles() {
    std::random_device random;
    const auto dir = std::filesystem::temp_directory_path() /
                     ("kaldor-tls-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(dir);
    dir_ = dir.string();
}

TlsFiles::~TlsFiles() {
    for (auto& [name, made] : made_) {
        EVP_PKEY_free(made.Key);
        X509_free(made.Cert);
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

void TlsFiles::Make(const std::string& name, const std::string& commonName, int fromDays, int toDays,
                    const std::string& issuerName, const std::string& altName, bool ca) {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* cert = X509_new();
    if (!key || !cert) throw std::runtime_error("no key");
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), static_cast<long>(made_.size() + 1000));
    X509_gmtime_adj(X509_getm_notBefore(cert), fromDays * 86400L);
    X509_gmtime_adj(X509_getm_notAfter(cert), toDays * 86400L);
    X509_NAME* subject = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
    X509_set_pubkey(cert, key);
    const Made* issuer = issuerName.empty() ? nullptr : &made_.at(issuerName);
    X509_set_issuer_name(cert, issuer ? X509_get_subject_name(issuer->Cert) : subject);
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer ? issuer->Cert : cert, cert, nullptr, nullptr, 0);
    auto extend = [&](int nid, const std::string& value) {
        X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
        X509_add_ext(cert, ext, -1);
        X509_EXTENSION_free(ext);
    };
    extend(NID_basic_constraints, ca ? "critical,CA:TRUE" : "CA:FALSE");
    if (!altName.empty()) extend(NID_subject_alt_name, altName);
    X509_sign(cert, issuer ? issuer->Key : key, EVP_sha256());

    FILE* out = std::fopen(Cert(name).c_str(), "w");
    PEM_write_X509(out, cert);
    std::fclose(out);
    out = std::fopen(Key(name).c_str(), "w");
    PEM_write_PrivateKey(out, key, nullptr, nullptr, 0, nullptr, nullptr);
    std::fclose(out);
    made_[name] = {key, cert};
}

std::string TlsFiles::Fingerprint(const std::string& name) const {
    return DescribeCertificate(made_.at(name).Cert).Fingerprint;
}

} // namespace kaldor::test
