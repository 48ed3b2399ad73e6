#include "platform/recursive_mutex.h"

namespace platform {

RecursiveMutex::RecursiveMutex() {
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    // glibc's adaptive kind spins a little on a held lock before it waits.
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_ADAPTIVE_NP);
    pthread_mutex_init(&mutex_, &attributes);
    pthread_mutexattr_destroy(&attributes);
}

RecursiveMutex::~RecursiveMutex() { pthread_mutex_destroy(&mutex_); }

const void* RecursiveMutex::Self() {
    thread_local const char token = 0;
    return &token;
}

// Only the holder ever stores its own token in owner_, so a thread that reads
// its own token there holds the mutex.
void RecursiveMutex::lock() {
    const void* self = Self();
    if (owner_.load(std::memory_order_relaxed) == self) {
        ++depth_;
        return;
    }
    pthread_mutex_lock(&mutex_);
    owner_.store(self, std::memory_order_relaxed);
    depth_ = 1;
}

bool RecursiveMutex::try_lock() {
    const void* self = Self();
    if (owner_.load(std::memory_order_relaxed) == self) {
        ++depth_;
        return true;
    }
    if (pthread_mutex_trylock(&mutex_) != 0) return false;
    owner_.store(self, std::memory_order_relaxed);
    depth_ = 1;
    return true;
}

void RecursiveMutex::unlock() {
    if (--depth_ != 0) return;
    owner_.store(nullptr, std::memory_order_relaxed);
    pthread_mutex_unlock(&mutex_);
}

}  // namespace platform
