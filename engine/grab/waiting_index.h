// WaitingIndex: the waiting entries of the crawl queue, indexed by host, so
// the grab can pick the first entry in queue order whose host is below its
// limit of running workers without walking the queue.
//
// It mirrors the queue: built from the waiting entries when the grab starts,
// then kept up to date as the store reports appends (QueueObserver). Lock
// order: the project store's lock, then the index's own.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/store/project_store.h"

namespace fw {

class WaitingIndex : public QueueObserver {
public:
    // `per_host_limit` 0 means hosts are not limited.
    WaitingIndex(ProjectStore* store, int per_host_limit);
    ~WaitingIndex();
    WaitingIndex(const WaitingIndex&) = delete;
    WaitingIndex& operator=(const WaitingIndex&) = delete;

    // Loads the queue's waiting entries and starts observing appends.
    void Attach();
    // Stops observing.
    void Detach();

    struct Pick {
        uint32_t row = 0;
        int32_t url_id = 0;
        std::string host;
        int32_t level = 0;      // the entry's place in queue order
        int32_t min_level = 0;
    };
    // The first waiting entry in queue order (level, requisites after pages,
    // insertion) whose host runs fewer workers than the limit, checked
    // against the store (an entry no longer waiting or whose URL is gone is
    // dropped). Takes the store lock.
    std::optional<Pick> First();
    // The entry `pick` was taken: it leaves the index and its host runs one
    // more worker.
    void Taken(const Pick& pick);
    // A worker on `host` ended.
    void Finished(const std::string& host);
    int Load(const std::string& host) const;
    // Entries waiting to be taken (some may since have left the queue).
    size_t size() const;

    // QueueObserver (called under the store lock).
    void OnQueued(uint32_t row, const QueueEntry& entry) override;
    void OnQueueEmptied() override;

private:
    struct Key {
        int32_t level;
        int32_t min_level;
        uint32_t row;
        friend bool operator<(const Key& a, const Key& b) {
            if (a.level != b.level) return a.level < b.level;
            if (a.min_level != b.min_level) return a.min_level < b.min_level;
            return a.row < b.row;
        }
    };
    struct Host {
        std::string name;
        std::set<Key> waiting;
        int load = 0;
    };
    struct Entry {
        size_t host;
        int32_t url_id;
    };

    size_t HostIdLocked(const std::string& name);
    bool Eligible(const Host& host) const { return limit_ <= 0 || host.load < limit_; }
    void AddLocked(const Key& key, size_t host, int32_t url_id);
    void RemoveLocked(const Key& key);
    // Puts the host's head into heads_ or takes it out, as eligibility says.
    void RefreshHeadLocked(size_t host);
    std::string HostOfUrl(int32_t url_id);

    ProjectStore* store_;
    const int limit_;
    mutable std::mutex mutex_;
    std::unordered_map<std::string, size_t> host_ids_;
    std::vector<Host> hosts_;
    std::map<Key, Entry> entries_;              // every waiting entry, in queue order
    std::set<std::pair<Key, size_t>> heads_;    // first entry of each eligible host
    std::vector<std::optional<Key>> head_of_;   // per host: the key it has in heads_
};

}  // namespace fw
