// Tests whose part needs a privilege only root has (giving a file to another
// user or group, becoming another user): as root every part runs; as anyone
// else that part is skipped, and the output says which part and why.
#pragma once

#include <grp.h>
#include <gtest/gtest.h>
#include <iostream>
#include <string>
#include <unistd.h>

// True as root; otherwise says that `part` is skipped.
inline bool HasRootFor(const std::string& part) {
    if (::geteuid() == 0) return true;
    std::cout << "[  SKIPPED ] needs root, which this user is not: " << part << std::endl;
    ::testing::Test::RecordProperty("skipped", "needs root: " + part);
    return false;
}

// Skips the rest of a test that needs root throughout.
#define SKIP_UNLESS_ROOT(part)                                          \
    do {                                                                \
        if (::geteuid() != 0) GTEST_SKIP() << "needs root: " << (part); \
    } while (0)

// The user without privileges that a forked child becomes, and its group.
constexpr uid_t kNobody = 65534;

// Makes this (forked) process nobody, with no other group; false when it
// cannot (only root can).
inline bool BecomeNobody() { return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0; }
