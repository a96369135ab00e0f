// What makes a file the same file: its inode, its permissions and its bytes.
// Tests compare it before and after a failed replacement.
#pragma once

#include "support/QtPrinting.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>
#include <ostream>
#include <sys/stat.h>

struct FileIdentity {
    ino_t inode = 0;
    mode_t mode = 0;  // permission bits
    QByteArray bytes;
    bool operator==(const FileIdentity&) const = default;
};

inline FileIdentity IdentityOf(const QString& path) {
    FileIdentity identity;
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return identity;
    identity.inode = st.st_ino;
    identity.mode = st.st_mode & 07777;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) identity.bytes = file.readAll();
    return identity;
}

inline std::ostream& operator<<(std::ostream& out, const FileIdentity& identity) {
    return out << "inode " << identity.inode << ", mode 0" << std::oct << identity.mode << std::dec << ", bytes "
               << ::testing::PrintToString(identity.bytes);
}
