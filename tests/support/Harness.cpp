#include "support/Harness.h"

#include "app/Startup.h"
#include "framework/Files.h"
#include "framework/Instances.h"
#include "framework/files/FileStepFaults.h"

#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QWidget>

void AppHarness::SetUp() {
    ASSERT_TRUE(folder_.isValid());
    fw::SetApplicationFolder(folder_.path());
    fw::SetMsgBoxHandler([this](const QString& text) { messages_.push_back(text); });
    fw::SetQuitHandler([this](int code) { quits_.push_back(code); });
    fw::SetShowURLHandler([this](const QString& url) { urls_.push_back(url); });
    NewAppInstance();
}

void AppHarness::TearDown() {
    fw::DestroyAllInstances();
    fw::testing::ResetFileSteps();
    fw::SetApplicationFolder(QByteArray());
    fw::testing::SetExecutableLink(QByteArray());
    fw::SetMsgBoxHandler(nullptr);
    fw::SetQuitHandler(nullptr);
    fw::SetShowURLHandler(nullptr);
}

void AppHarness::findFolderThrough(const QByteArray& link) {
    fw::SetApplicationFolder(QByteArray());
    fw::testing::SetExecutableLink(link);
}

QString AppHarness::path(const QString& name) const { return QDir(folder_.path()).filePath(name); }

QByteArray AppHarness::readFile(const QString& name) const {
    QFile file(path(name));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

void AppHarness::writeFile(const QString& name, const QByteArray& bytes) const {
    QFile file(path(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

bool AppHarness::fileExists(const QString& name) const { return QFile::exists(path(name)); }

void saveScreenshot(const fw::Window& window, const QString& fileName) {
    QString dir = qEnvironmentVariable("QUILLORY_SCREENSHOTS");
    if (dir.isEmpty()) return;
    QDir().mkpath(dir);
    window.widget()->grab().save(QDir(dir).filePath(fileName));
}
