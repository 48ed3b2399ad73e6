// ChildWaitMap: which pages wait for which children. A page that links to
// URLs still being fetched is rewritten (fixed) only when they are done; the
// map holds, per waiting page, its children with a page flag (true: a page
// link or a child beyond the level limit; false: a resource such as an image
// or a style sheet).
//
// The map has its own lock, always taken inside the project store's lock
// (store lock first). Callers hold lock() around every call.
#pragma once

#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace fw {

struct WaitingChild {
    int32_t id;
    bool page;
};

class ChildWaitMap {
public:
    std::mutex& mutex() { return mutex_; }

    // The page now waits for `children` (replacing any list it had), not yet
    // announced.
    void Wait(int32_t page, std::vector<WaitingChild> children);
    // Adds a child to a page's list when the page has one.
    void AddTo(int32_t page, WaitingChild child);
    bool IsWaiting(int32_t page) const { return waits_.count(page) != 0; }

    // Records that `child` finished (its parents were told), so a page
    // parsed later does not wait for it.
    void MarkFinished(int32_t child) { finished_.insert(child); }
    bool HasFinished(int32_t child) const { return finished_.count(child) != 0; }

    struct Outcome {
        bool all_done = false;  // the list became empty and was dropped: fix the page
        bool announce = false;  // announce the page as done now
    };
    // `child` of `page` finished. With early notification a page is announced
    // as soon as its resources are in; otherwise when its whole list is done.
    Outcome ChildFinished(int32_t page, int32_t child, bool early_notify);

    // Redirect chains of this grab: how many redirects in a row led to `id`
    // (0 for a URL that no redirect of this grab named).
    int RedirectsTo(int32_t id) const;
    void SetRedirectsTo(int32_t id, int redirects) { redirects_[id] = redirects; }

private:
    struct WaitList {
        std::vector<WaitingChild> children;
        bool notified = false;
    };
    std::mutex mutex_;
    std::unordered_map<int32_t, WaitList> waits_;
    std::unordered_set<int32_t> finished_;
    std::unordered_map<int32_t, int> redirects_;
};

}  // namespace fw
