// The main window's Open event: pref.txt and prefe.txt beside the
// application select the delivery mode and fill in the saved address.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <utility>

class mainWindow;
class TemplateWindow;

namespace fw {
class FolderItem;
class RadioButton;
class RegEx;
}  // namespace fw

class StartupPreferences {
public:
    // `folder`: the application's folder, as bytes, where the files are read.
    StartupPreferences(class mainWindow& window, QByteArray folder) : w_(window), folder_(std::move(folder)) {}
    // Reads pref.txt (CGI address), then prefe.txt (e-mail address).
    void Apply();

    // The longest first line that is taken as an address.
    static constexpr qint64 kMaxLineLength = 64 * 1024;

private:
    // The editor window that holds a results form, fetched through its
    // accessor (which creates it on first use).
    using EditorAccessor = TemplateWindow& (*)();

    // One preference file: selects its delivery mode, then puts the file's
    // first line in place of the form's placeholder and hides the editor;
    // at start-up, that last part waits for the main window's first frame.
    void ApplyPreference(const QString& fileName, fw::RadioButton& mode, fw::RegEx& address, EditorAccessor editor);
    // The file's first line without its line end, or nothing when the file
    // cannot be used; the teacher is then told which file and why.
    static std::optional<QString> ReadFirstLine(const fw::FolderItem& file);
    static void ReportUnusable(const fw::FolderItem& file, const QString& why);
    // Puts the line into the editor's text in place of the first match of the
    // placeholder; hides the editor only when the placeholder was found.
    static void ReplacePlaceholder(fw::RegEx& address, const QString& line, EditorAccessor editor);

    class mainWindow& w_;
    QByteArray folder_;
};
