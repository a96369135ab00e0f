// Work in a forked child process, for what one process cannot show: a crash
// in the middle of a step sequence, two copies of the program at once, a
// user other than root. The child does its work and leaves by _exit() with
// the work's result; it never returns into GoogleTest, so it makes no
// assertion itself.
#pragma once

#include <csignal>
#include <cstdio>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

// A child's exit status; 128 + the signal's number when a signal ended it.
inline int WaitForChild(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
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
    // Waits for a byte; false when every writer is gone first.
    bool Wait() const {
        char byte = 0;
        return ::read(fds_[0], &byte, 1) == 1;
    }

private:
    int fds_[2];
};
