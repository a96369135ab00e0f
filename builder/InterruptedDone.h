// At start-up, before any "Done": a "Done" that a crash or a power cut cut
// off is finished (its old files put back, or its new pair kept when both
// files were already in place), and the teacher is told in one message.
#pragma once

#include <QByteArray>
#include <QString>

namespace fw {
struct InterruptedCommit;
}

// `folder`: the application's folder, as bytes.
void SettleInterruptedDone(const QByteArray& folder);

// What the teacher is told of an interrupted "Done" that was found, and how
// it was settled; also where a later "Done" settles it first.
QString InterruptedDoneMessage(const fw::InterruptedCommit& found);
