// For tests: makes a step of the next CommitTogether fail as the system
// would, so that the rollback can be checked on any file system and as any
// user.
#pragma once

namespace fw::testing {

// The n-th step (from 1) of the next commit fails with error number `error`.
// A step is one link or rename that moves a file into place or keeps an old
// file aside, counted in the order the commit takes them; undoing is never
// failed. Several calls arm several steps; the commit then forgets them all.
void FailFileStep(int n, int error);

}  // namespace fw::testing
