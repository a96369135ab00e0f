#include "builder/StartupPreferences.h"

#include "builder/HtmlText.h"
#include "builder/mainWindow.h"
#include "framework/Files.h"
#include "framework/Globals.h"
#include "framework/RegEx.h"
#include "framework/Runtime.h"
#include "templates/Placeholders.h"
#include "templates/WindowF.h"
#include "templates/WindowF2.h"

namespace {

TemplateWindow& CgiEditor() { return WindowF(); }
TemplateWindow& EmailEditor() { return WindowF2(); }

}  // namespace

void StartupPreferences::Apply() {
    fw::RegEx email;
    fw::RegEx cgi;
    email.SearchPattern = kEmailPlaceholder;
    cgi.SearchPattern = kUrlPlaceholder;

    // With both files, the e-mail file comes last, so "Use mailto:" ends selected.
    ApplyPreference(QStringLiteral("pref.txt"), w_.RadioButton2(), cgi, &CgiEditor);
    ApplyPreference(QStringLiteral("prefe.txt"), w_.RadioButton1(), email, &EmailEditor);
}

void StartupPreferences::ApplyPreference(const QString& fileName, fw::RadioButton& mode, fw::RegEx& address,
                                         EditorAccessor editor) {
    std::optional<fw::FolderItem> file = fw::GetFolderItem(folder_, fileName);
    if (!file || !file->Exists()) return;  // no file, no message, no editor

    // The mode counts even when the file turns out to be unusable.
    mode.SetValue(true);

    std::optional<QString> line = ReadFirstLine(*file);
    if (!line) return;
    // The editor window is no part of the main window's first look: at
    // start-up it is made, and the address put in, once that look is drawn.
    fw::AfterFirstFrame([address, line = *line, editor]() mutable { ReplacePlaceholder(address, line, editor); });
}

std::optional<QString> StartupPreferences::ReadFirstLine(const fw::FolderItem& file) {
    QString openError;
    std::unique_ptr<fw::TextInputStream> stream = file.OpenAsTextFile(&openError);
    if (!stream) {
        ReportUnusable(file, openError);
        return std::nullopt;
    }
    stream->SetMaxLineLength(kMaxLineLength);
    QString line = stream->ReadLine();
    if (!stream->Error().isEmpty()) {
        ReportUnusable(file, stream->Error());
        return std::nullopt;
    }
    return line;  // the stream is dropped here; nothing more is read
}

void StartupPreferences::ReportUnusable(const fw::FolderItem& file, const QString& why) {
    fw::MsgBox(QStringLiteral("The preference file \"%1\" could not be used: %2. "
                              "The form still holds the placeholder address; "
                              "type your own in the form editor.")
                   .arg(file.DisplayPath(), why.isEmpty() ? QStringLiteral("it could not be read") : why));
}

void StartupPreferences::ReplacePlaceholder(fw::RegEx& address, const QString& line, EditorAccessor editor) {
    // The line ends up inside a script string of the page: put the characters
    // that would end that string or the attribute in as character references.
    address.ReplacementPattern = HtmlSafeText(line);
    TemplateWindow& window = editor();
    fw::TextArea& form = window.EditField1();
    if (!address.Search(form.Text())) return;
    form.SetText(address.Replace(form.Text()));
    window.Hide();
}
