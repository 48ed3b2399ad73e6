#include "engine/net/untrusted_hosts.h"

#include <algorithm>

namespace fw {

bool UntrustedHosts::Contains(const std::string& host) const {
    std::lock_guard<std::mutex> guard(mutex_);
    return std::any_of(hosts_.begin(), hosts_.end(),
                       [&](const auto& known) { return known.first == host; });
}

bool UntrustedHosts::Remember(const std::string& host, int32_t reason) {
    std::lock_guard<std::mutex> guard(mutex_);
    for (const auto& known : hosts_) {
        if (known.first == host) return false;
    }
    if (hosts_.size() >= kMaxHosts) return false;
    hosts_.emplace_back(host, reason);
    return true;
}

bool UntrustedHosts::At(size_t index, std::string* host, int32_t* reason) const {
    std::lock_guard<std::mutex> guard(mutex_);
    if (index >= hosts_.size()) return false;
    *host = hosts_[index].first;
    *reason = hosts_[index].second;
    return true;
}

void UntrustedHosts::Clear() {
    std::lock_guard<std::mutex> guard(mutex_);
    hosts_.clear();
}

}  // namespace fw
