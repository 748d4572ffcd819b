// fopen without ever waiting in the open.
#include "base/openfile.h"

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

// fopen blocks on a FIFO until the other end is opened, which may be never; with O_NONBLOCK
// the open returns at once (a FIFO without a reader then refuses writing). Reading is allowed
// from regular files only: a FIFO, device or directory is no file to load, and a FIFO or device
// could block or never end a read.
FILE* OpenNoWait(const char* path, const char* mode) {
    bool update = std::strchr(mode, '+') != nullptr;
    int flags = 0;
    switch (mode[0]) {
    case 'r': flags = update ? O_RDWR : O_RDONLY; break;
    case 'w': flags = (update ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC; break;
    case 'a': flags = (update ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND; break;
    default: return nullptr;
    }
    if (std::strchr(mode, 'x') != nullptr) flags |= O_EXCL;
    int fd = ::open(path, flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || (mode[0] == 'r' && !S_ISREG(st.st_mode)) ||
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return nullptr;
    }
    FILE* f = fdopen(fd, mode);
    if (f == nullptr) ::close(fd);
    return f;
}

namespace {

sigset_t PipeSignal() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    return set;
}

bool PipeSignalPending() {
    sigset_t pending;
    sigemptyset(&pending);
    return sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
}

} // namespace

QuietPipeWrites::QuietPipeWrites() {
    const sigset_t pipe = PipeSignal();
    pendingBefore_ = PipeSignalPending();
    pthread_sigmask(SIG_BLOCK, &pipe, &oldMask_);
}

QuietPipeWrites::~QuietPipeWrites() {
    const int savedErrno = errno;
    if (!pendingBefore_ && PipeSignalPending()) {
        const sigset_t pipe = PipeSignal();
        const timespec now{0, 0};
        while (sigtimedwait(&pipe, nullptr, &now) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &oldMask_, nullptr);
    errno = savedErrno;
}
