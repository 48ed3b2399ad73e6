#include "engine/grab/waiting_index.h"

#include "engine/content/parsed_url.h"

namespace fw {

WaitingIndex::WaitingIndex(ProjectStore* store, int per_host_limit)
    : store_(store), limit_(per_host_limit) {}

WaitingIndex::~WaitingIndex() { Detach(); }

void WaitingIndex::Attach() {
    auto guard = store_->Lock();
    ProjectStore::QueueWalker walker(store_);
    for (uint32_t row = walker.First(); row != 0; row = walker.Next()) {
        QueueEntry entry;
        if (store_->QueueEntryAt(row, &entry)) OnQueued(row, entry);
    }
    store_->SetQueueObserver(this);
}

void WaitingIndex::Detach() { store_->SetQueueObserver(nullptr); }

std::string WaitingIndex::HostOfUrl(int32_t url_id) {
    UrlRecord record;
    if (!store_->LoadRow(url_id, &record)) return std::string();
    thread_local ParsedUrl url;
    url.Parse(record.url);
    const char* host = url.host();
    return host ? host : "";
}

void WaitingIndex::OnQueued(uint32_t row, const QueueEntry& entry) {
    if (entry.status != '0') return;
    std::string host = HostOfUrl(entry.url_id);
    std::lock_guard<std::mutex> guard(mutex_);
    AddLocked({entry.level, entry.min_level, row}, HostIdLocked(host), entry.url_id);
}

void WaitingIndex::OnQueueEmptied() {
    std::lock_guard<std::mutex> guard(mutex_);
    entries_.clear();
    heads_.clear();
    for (size_t h = 0; h < hosts_.size(); ++h) {
        hosts_[h].waiting.clear();
        head_of_[h].reset();
    }
}

size_t WaitingIndex::HostIdLocked(const std::string& name) {
    auto [it, inserted] = host_ids_.emplace(name, hosts_.size());
    if (inserted) {
        hosts_.push_back(Host{name, {}, 0});
        head_of_.emplace_back();
    }
    return it->second;
}

void WaitingIndex::AddLocked(const Key& key, size_t host, int32_t url_id) {
    if (!entries_.emplace(key, Entry{host, url_id}).second) return;
    hosts_[host].waiting.insert(key);
    RefreshHeadLocked(host);
}

void WaitingIndex::RemoveLocked(const Key& key) {
    auto it = entries_.find(key);
    if (it == entries_.end()) return;
    const size_t host = it->second.host;
    entries_.erase(it);
    hosts_[host].waiting.erase(key);
    RefreshHeadLocked(host);
}

void WaitingIndex::RefreshHeadLocked(size_t host) {
    Host& h = hosts_[host];
    std::optional<Key> want;
    if (Eligible(h) && !h.waiting.empty()) want = *h.waiting.begin();
    auto& have = head_of_[host];
    if (have && want && !(*have < *want) && !(*want < *have)) return;
    if (have) heads_.erase({*have, host});
    have = want;
    if (want) heads_.insert({*want, host});
}

std::optional<WaitingIndex::Pick> WaitingIndex::First() {
    auto guard = store_->Lock();
    for (;;) {
        Key key;
        Pick pick;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (limit_ > 0) {
                if (heads_.empty()) return std::nullopt;
                key = heads_.begin()->first;
            } else {
                if (entries_.empty()) return std::nullopt;
                key = entries_.begin()->first;
            }
            const Entry& entry = entries_.at(key);
            pick = {key.row, entry.url_id, hosts_[entry.host].name, key.level, key.min_level};
        }
        QueueEntry stored;
        if (store_->QueueEntryAt(pick.row, &stored) && stored.url_id == pick.url_id &&
            stored.status == '0' && store_->Exists(pick.url_id)) {
            return pick;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        RemoveLocked(key);
    }
}

void WaitingIndex::Taken(const Pick& pick) {
    std::lock_guard<std::mutex> guard(mutex_);
    RemoveLocked({pick.level, pick.min_level, pick.row});
    const size_t host = HostIdLocked(pick.host);
    ++hosts_[host].load;
    RefreshHeadLocked(host);
}

void WaitingIndex::Finished(const std::string& host) {
    std::lock_guard<std::mutex> guard(mutex_);
    const size_t id = HostIdLocked(host);
    if (hosts_[id].load > 0) --hosts_[id].load;
    RefreshHeadLocked(id);
}

size_t WaitingIndex::size() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return entries_.size();
}

int WaitingIndex::Load(const std::string& host) const {
    std::lock_guard<std::mutex> guard(mutex_);
    auto it = host_ids_.find(host);
    return it == host_ids_.end() ? 0 : hosts_[it->second].load;
}

}  // namespace fw
