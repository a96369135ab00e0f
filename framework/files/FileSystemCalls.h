// Small helpers of the output side of the file layer, over the system's own
// calls: the reason for an error number, hidden names for files that stand in
// for another for a moment, and flushing a folder's entries to the disk.
#pragma once

#include <QByteArray>
#include <QString>
#include <sys/stat.h>

namespace fw {

// The system's text for an error number ("No space left on device").
QString SystemReason(int error);

// A fresh name, drawn from the system's generator (no two processes draw
// alike), for a file beside the file named `target` (a bare name, encoded):
// "." then letters and digits, as long as the target's name but no longer
// than 12 bytes (and at least 2), so that any name the folder accepts gives
// a hidden name it accepts as well. Never `target` itself.
QByteArray HiddenNameFor(const QByteArray& target);

// The folder part and the name part of an encoded path.
QByteArray FolderOfPath(const QByteArray& path);
QByteArray NameOfPath(const QByteArray& path);

// Makes the folder's entries (renames, removals) durable; false, with errno
// set, when the system could not.
bool SyncFolder(const QByteArray& folder);

// The file a path names once its symbolic links are followed, each relative
// link against the folder of the link; a link to nothing gives the path it
// names. Each link is followed only where the system itself would follow it
// for this process: in a folder that anyone may write and that has the
// sticky bit, only a link of this user's or of the folder's owner. Empty,
// with errno set, when a link may not be followed (EACCES), the links loop or
// cannot be read.
QByteArray FollowLinks(const QByteArray& path);

// Renames `from` to `to` unless a file stands at `to` (EEXIST), also where
// the file system cannot rename without replacing.
int RenameNoReplace(const QByteArray& from, const QByteArray& to);

// A second name `to` for the file `from`, never following a link.
int Link(const QByteArray& from, const QByteArray& to);

// Whether `name` is a bare file name: not empty, no "/", not "." or "..".
bool IsBareName(const QByteArray& name);

// Whether `hidden` is a name that HiddenNameFor(target) could have given.
bool IsHiddenNameFor(const QByteArray& hidden, const QByteArray& target);

// Whether this process may rename or remove the file `file` (its status)
// from its folder `folder`: in a folder with the sticky bit, only the owner
// of the file or of the folder may, or a process with CAP_FOWNER.
bool MayRemoveFrom(const struct stat& folder, const struct stat& file);

}  // namespace fw
