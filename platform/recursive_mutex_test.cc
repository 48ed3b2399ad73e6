#include "platform/recursive_mutex.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

namespace platform {
namespace {

TEST(RecursiveMutexTest, TheHolderReentersAndOthersWaitForTheLastUnlock) {
    RecursiveMutex mutex;
    std::unique_lock<RecursiveMutex> outer(mutex);
    {
        std::lock_guard<RecursiveMutex> inner(mutex);  // the holder again
        EXPECT_TRUE(mutex.try_lock());
        mutex.unlock();
    }
    bool taken = true;
    std::thread([&] { taken = mutex.try_lock(); }).join();
    EXPECT_FALSE(taken);  // still held once
    outer.unlock();
    std::thread([&] {
        taken = mutex.try_lock();
        if (taken) mutex.unlock();
    }).join();
    EXPECT_TRUE(taken);
}

TEST(RecursiveMutexTest, NestedSectionsOnManyThreadsExcludeEachOther) {
    RecursiveMutex mutex;
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                std::lock_guard<RecursiveMutex> outer(mutex);
                const long seen = counter;
                std::lock_guard<RecursiveMutex> inner(mutex);
                counter = seen + 1;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(counter, 8 * 20000);
}

}  // namespace
}  // namespace platform
