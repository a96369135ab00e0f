// Prints the folder the program finds itself in, byte for byte, and exits 0;
// or prints why it cannot tell and exits 1. framework_test runs copies of it
// placed in folders whose names are not UTF-8.
#include "framework/Files.h"

#include <cstdio>

int main() {
    QString why;
    const QByteArray folder = fw::ApplicationFolder(&why);
    if (folder.isEmpty()) {
        std::fputs(why.toLocal8Bit().constData(), stderr);
        return 1;
    }
    std::fwrite(folder.constData(), 1, size_t(folder.size()), stdout);
    return 0;
}
