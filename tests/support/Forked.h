// Work in a forked child process, for what one process cannot show: a crash
// in the middle of a step sequence, two copies of the program at once, a
// user other than root. The child does its work and leaves by _exit() with
// the work's result; it never returns into GoogleTest, so it makes no
// assertion itself.
#pragma once

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

// A child's exit status; 128 + the signal's number when a signal ended it.
// A child still running after `limit` seconds is killed (status 128 + 9),
// so that a test whose child hangs fails instead of stopping the suite.
inline int WaitForChild(pid_t child, int limit = 60) {
    int status = 0;
    for (int waited = 0;; ++waited) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) break;
        if (done < 0 && errno != EINTR) return -1;
        if (waited == limit * 100) ::kill(child, SIGKILL);
        ::usleep(10000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Starts `work` (returning the exit status) in a child; the child's id.
template <typename Work>
pid_t StartChild(Work&& work) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child != 0) return child;
    int status = 125;
    try {
        status = std::forward<Work>(work)();
    } catch (...) {
        status = 124;
    }
    ::_exit(status);
}

template <typename Work>
int RunInChild(Work&& work) {
    return WaitForChild(StartChild(std::forward<Work>(work)));
}

// A pipe a child and its parent signal each other through, a byte at a time.
class Signal {
public:
    Signal() {
        if (::pipe(fds_) != 0) fds_[0] = fds_[1] = -1;
    }
    ~Signal() {
        for (int fd : fds_)
            if (fd >= 0) ::close(fd);
    }
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;
    void Give() const { (void)!::write(fds_[1], "x", 1); }
    // Waits for a byte; false when every writer is gone first, or after
    // `limit` seconds.
    bool Wait(int limit = 60) const {
        pollfd ready{fds_[0], POLLIN, 0};
        if (::poll(&ready, 1, limit * 1000) != 1) return false;
        char byte = 0;
        return ::read(fds_[0], &byte, 1) == 1;
    }

private:
    int fds_[2];
};
