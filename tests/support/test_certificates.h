// Certificates made on the spot for TLS tests: a test authority, server
// certificates it signs, and self-signed ones. Keys are P-256, files are PEM.
// Nothing is taken from the system's trust store, so a client trusts these
// only when it is given the authority's file.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace fwtest {

// A certificate and its private key, written as two PEM files.
struct CertificateFiles {
    std::string cert;  // path of the certificate
    std::string key;   // path of the private key
};

struct CertificateOptions {
    // Subject alternative names: an entry that parses as an IPv4 address is
    // an IP name, anything else a DNS name.
    std::vector<std::string> names = {"127.0.0.1", "localhost"};
    bool self_signed = false;  // otherwise signed by the authority
    // Validity relative to now, in seconds.
    long not_before = -3600;
    long not_after = 30L * 24 * 3600;
};

class TestAuthority {
public:
    // Makes the authority's key and certificate and writes the certificate
    // to `dir` + "ca.pem". ok() tells whether that worked.
    explicit TestAuthority(std::string dir);
    ~TestAuthority();
    TestAuthority(const TestAuthority&) = delete;
    TestAuthority& operator=(const TestAuthority&) = delete;

    bool ok() const { return ok_; }
    // The authority's certificate (what a client is told to trust).
    const std::string& ca_file() const { return ca_file_; }

    // Writes `dir` + name + ".crt" and ".key". Empty paths when that failed.
    CertificateFiles Issue(const std::string& name, const CertificateOptions& options = {});

private:
    struct Keys;

    std::string dir_;
    std::string ca_file_;
    std::unique_ptr<Keys> keys_;
    long serial_ = 1;
    bool ok_ = false;
};

}  // namespace fwtest
