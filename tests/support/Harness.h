// A fixture for tests that drive the program's windows: messages, quits and
// opened addresses are recorded instead of shown, the application folder is a
// fresh temporary folder, the application object with its menu bar is made as
// start-up makes it, and after each test every instance is destroyed and the
// file layer's test seams reset. Tests that include it also type and choose as
// a teacher does (Entry.h) and see Qt's texts as text in their failures
// (QtPrinting.h).
#pragma once

#include "framework/Globals.h"
#include "framework/Instances.h"
#include "framework/Window.h"
#include "support/Entry.h"
#include "support/QtPrinting.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

class AppHarness : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The program finds its folder through `link`, read as it reads
    // /proc/self/exe, instead of being pointed at folder_.
    void findFolderThrough(const QByteArray& link);

    QString path(const QString& name) const;
    QByteArray readFile(const QString& name) const;  // empty when absent
    void writeFile(const QString& name, const QByteArray& bytes) const;
    bool fileExists(const QString& name) const;

    QTemporaryDir folder_;
    std::vector<QString> messages_;
    std::vector<int> quits_;
    std::vector<QString> urls_;
};

// Saves a picture of a window (offscreen grab) for a person to look at.
void saveScreenshot(const fw::Window& window, const QString& fileName);
