// The hosts of one grab whose certificate failed verification, kept when
// the user allowed untrusted certificates: the first URL of such a host pays
// the failed handshake, later ones connect without verification at once, and
// the host is reported (warned about) once. Shared by the grab's workers;
// safe from any thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace fw {

class UntrustedHosts {
public:
    // The most hosts kept: a grab across more untrusted hosts than this
    // pays one failed handshake per URL for the rest, and is not told of them.
    static constexpr size_t kMaxHosts = 4096;

    // Whether `host` (a host name, compared as given) was remembered.
    bool Contains(const std::string& host) const;
    // Remembers `host` with `reason` (a kErrorCertificate* code). False when
    // it was known already.
    bool Remember(const std::string& host, int32_t reason);
    // The `index`th host remembered (from 0) and its reason; false past the end.
    bool At(size_t index, std::string* host, int32_t* reason) const;
    void Clear();

private:
    mutable std::mutex mutex_;  // guards hosts_
    std::vector<std::pair<std::string, int32_t>> hosts_;
};

}  // namespace fw
