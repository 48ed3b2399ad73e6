#include "engine/grab/child_wait_map.h"

#include <algorithm>

namespace fw {

void ChildWaitMap::Wait(int32_t page, std::vector<WaitingChild> children) {
    waits_[page] = {std::move(children), false};
}

void ChildWaitMap::AddTo(int32_t page, WaitingChild child) {
    auto it = waits_.find(page);
    if (it != waits_.end()) it->second.children.push_back(child);
}

int ChildWaitMap::RedirectsTo(int32_t id) const {
    auto it = redirects_.find(id);
    return it == redirects_.end() ? 0 : it->second;
}

ChildWaitMap::Outcome ChildWaitMap::ChildFinished(int32_t page, int32_t child, bool early_notify) {
    Outcome outcome;
    auto it = waits_.find(page);
    if (it == waits_.end()) return outcome;
    auto& list = it->second.children;
    bool resource_removed = false;
    auto end = std::remove_if(list.begin(), list.end(), [&](const WaitingChild& c) {
        if (c.id != child) return false;
        if (!c.page) resource_removed = true;
        return true;
    });
    list.erase(end, list.end());
    const bool resources_left =
        std::any_of(list.begin(), list.end(), [](const WaitingChild& c) { return !c.page; });
    outcome.all_done = list.empty();
    if (early_notify && resource_removed && !resources_left && !it->second.notified) {
        it->second.notified = true;
        outcome.announce = true;
    }
    if (outcome.all_done) {
        if (!it->second.notified) outcome.announce = true;
        waits_.erase(it);
    }
    return outcome;
}

}  // namespace fw
