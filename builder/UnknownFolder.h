// What the teacher is told when the program cannot tell which folder it is
// in: it reads its preference files and saves the test only there, so at
// start-up no file is read, and "Done" writes nothing.
#pragma once

#include <QString>

// Shown once at start-up; `why` is what went wrong in the system's words.
QString UnknownFolderAtStartUp(const QString& why);
// Shown by every "Done" that finds the folder still unknown.
QString UnknownFolderAtDone(const QString& why);
