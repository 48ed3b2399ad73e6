#include "engine/store/xbase/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

namespace fw::xbase {

namespace {

// Far beyond any data offset: locking it never stands for locking data.
constexpr off_t kLockByte = off_t{1} << 62;

bool SetRangeLock(int fd, short type, int command) {
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = kLockByte;
    lock.l_len = 1;
    while (::fcntl(fd, command, &lock) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

}  // namespace

bool TryFlock(int fd, bool exclusive) {
    int op = (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    while (::flock(fd, op) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

bool LockRange(int fd, bool write) { return SetRangeLock(fd, write ? F_WRLCK : F_RDLCK, F_OFD_SETLKW); }

void UnlockRange(int fd) { SetRangeLock(fd, F_UNLCK, F_OFD_SETLK); }

}  // namespace fw::xbase
