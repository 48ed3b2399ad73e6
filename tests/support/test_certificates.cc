#include "tests/support/test_certificates.h"

#include <arpa/inet.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <openssl/rand.h>

#include <cstdio>

namespace fwtest {
namespace {

struct KeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct CertFree {
    void operator()(X509* c) const { X509_free(c); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyFree>;
using CertPtr = std::unique_ptr<X509, CertFree>;

KeyPtr NewKey() { return KeyPtr(EVP_EC_gen("P-256")); }

bool AddExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    if (ext == nullptr) return false;
    bool ok = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return ok;
}

std::string AltNames(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& name : names) {
        in_addr ignored{};
        if (!out.empty()) out += ",";
        out += (::inet_pton(AF_INET, name.c_str(), &ignored) == 1 ? "IP:" : "DNS:") + name;
    }
    return out;
}

// An unsigned certificate for `subject_key`, named `common_name`, issued by
// `issuer` (itself when null).
CertPtr MakeCertificate(EVP_PKEY* subject_key, const std::string& common_name, long serial,
                        X509* issuer, long not_before, long not_after) {
    CertPtr cert(X509_new());
    if (!cert) return nullptr;
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), not_before);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), not_after);
    X509_set_pubkey(cert.get(), subject_key);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("Corvalin tests"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(common_name.c_str()), -1, -1, 0);
    X509_set_issuer_name(cert.get(), issuer ? X509_get_subject_name(issuer) : name);
    return cert;
}

bool Sign(X509* cert, EVP_PKEY* key) { return X509_sign(cert, key, EVP_sha256()) > 0; }

bool WriteCert(const std::string& path, X509* cert) {
    FILE* f = std::fopen(path.c_str(), "w");
    if (f == nullptr) return false;
    bool ok = PEM_write_X509(f, cert) == 1;
    return std::fclose(f) == 0 && ok;
}

bool WriteKey(const std::string& path, EVP_PKEY* key) {
    FILE* f = std::fopen(path.c_str(), "w");
    if (f == nullptr) return false;
    bool ok = PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
    return std::fclose(f) == 0 && ok;
}

}  // namespace

struct TestAuthority::Keys {
    KeyPtr key;
    CertPtr cert;
};

TestAuthority::TestAuthority(std::string dir)
    : dir_(std::move(dir)), ca_file_(dir_ + "ca.pem"), keys_(std::make_unique<Keys>()) {
    keys_->key = NewKey();
    if (!keys_->key) return;
    // A name of its own, so two authorities are never mistaken for each other.
    unsigned char id[8] = {};
    RAND_bytes(id, sizeof id);
    std::string name = "Corvalin test authority ";
    for (unsigned char b : id) name += "0123456789abcdef"[b >> 4], name += "0123456789abcdef"[b & 15];
    keys_->cert = MakeCertificate(keys_->key.get(), name, serial_++, nullptr, -3600, 365L * 24 * 3600);
    X509* ca = keys_->cert.get();
    ok_ = ca != nullptr && AddExtension(ca, ca, NID_basic_constraints, "critical,CA:TRUE") &&
          AddExtension(ca, ca, NID_key_usage, "critical,keyCertSign,cRLSign") &&
          AddExtension(ca, ca, NID_subject_key_identifier, "hash") &&
          Sign(ca, keys_->key.get()) && WriteCert(ca_file_, ca);
}

TestAuthority::~TestAuthority() = default;

CertificateFiles TestAuthority::Issue(const std::string& name, const CertificateOptions& options) {
    if (!ok_) return {};
    KeyPtr key = NewKey();
    if (!key) return {};
    X509* issuer = options.self_signed ? nullptr : keys_->cert.get();
    EVP_PKEY* signer = options.self_signed ? key.get() : keys_->key.get();
    const std::string common_name = options.names.empty() ? name : options.names.front();
    CertPtr cert = MakeCertificate(key.get(), common_name, serial_++, issuer, options.not_before,
                                   options.not_after);
    if (!cert) return {};
    X509* ext_issuer = issuer ? issuer : cert.get();
    bool ok = AddExtension(cert.get(), ext_issuer, NID_basic_constraints, "CA:FALSE") &&
              (options.self_signed ||
               AddExtension(cert.get(), ext_issuer, NID_authority_key_identifier, "keyid:always")) &&
              AddExtension(cert.get(), ext_issuer, NID_ext_key_usage, "serverAuth") &&
              (options.names.empty() ||
               AddExtension(cert.get(), ext_issuer, NID_subject_alt_name, AltNames(options.names))) &&
              Sign(cert.get(), signer);
    CertificateFiles files{dir_ + name + ".crt", dir_ + name + ".key"};
    if (!ok || !WriteCert(files.cert, cert.get()) || !WriteKey(files.key, key.get())) return {};
    return files;
}

}  // namespace fwtest
