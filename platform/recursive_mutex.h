// RecursiveMutex: a recursive mutex whose waiters spin briefly before they
// sleep. Critical sections of a busy shared structure (the project store
// during a grab) are often shorter than putting a thread to sleep and waking
// it again, so a short spin saves both threads a trip through the kernel.
// Meets the Lockable requirements (std::unique_lock, std::lock_guard).
#pragma once

#include <pthread.h>

#include <atomic>

namespace platform {

class RecursiveMutex {
public:
    RecursiveMutex();
    ~RecursiveMutex();
    RecursiveMutex(const RecursiveMutex&) = delete;
    RecursiveMutex& operator=(const RecursiveMutex&) = delete;

    void lock();
    bool try_lock();
    // REQUIRES: the calling thread holds the mutex.
    void unlock();

private:
    static const void* Self();

    pthread_mutex_t mutex_;
    std::atomic<const void*> owner_{nullptr};  // the holding thread's token
    unsigned depth_ = 0;                        // touched by the holder only
};

}  // namespace platform
