#include "builder/UnknownFolder.h"

QString UnknownFolderAtStartUp(const QString& why) {
    return QStringLiteral("The program cannot tell which folder it is in (%1). It reads pref.txt and prefe.txt, and "
                          "saves the test, only in that folder: the preference files were not read, and \"Done\" "
                          "cannot save the test.")
        .arg(why);
}

QString UnknownFolderAtDone(const QString& why) {
    return QStringLiteral("The test could not be saved: the program cannot tell which folder it is in (%1), and it "
                          "saves only there. Nothing was written; your work is kept.")
        .arg(why);
}
