#include "builder/MessageText.h"

#include <QDir>
#include <QFile>
#include <QStringList>

QString QuotedInput(const QString& typed) {
    constexpr qsizetype kShown = 40;
    if (typed.size() <= kShown) return typed;
    qsizetype cut = kShown;
    if (typed.at(cut - 1).isHighSurrogate()) --cut;  // keep a character whole
    return typed.left(cut) + QLatin1StringView("...");
}

QString QuotedFileName(const QString& name) {
    for (const QLatin1StringView extension : {QLatin1StringView(".html"), QLatin1StringView(".js")}) {
        if (name.endsWith(extension)) return QuotedInput(name.chopped(extension.size())) + extension;
    }
    return QuotedInput(name);
}

QString QuotedFileIn(const QByteArray& folder, const QString& name) {
    return QDir::toNativeSeparators(QDir(QFile::decodeName(folder)).filePath(QuotedFileName(name)));
}

QString LeftFilesText(const std::vector<fw::LeftFile>& left, const QByteArray& folder) {
    QStringList texts;
    for (const fw::LeftFile& file : left) {
        const QString target = QuotedFileIn(folder, QFile::decodeName(file.name));
        const QString under = QDir::toNativeSeparators(QFile::decodeName(file.path));
        QString text;
        switch (file.what) {
        case fw::LeftFile::What::OldFile:
            text = QStringLiteral("the old file of \"%1\" is kept as \"%2\"").arg(target, under);
            break;
        case fw::LeftFile::What::NewFile:
            text = QStringLiteral("\"%1\" stands, where \"Done\" found no file").arg(target);
            break;
        case fw::LeftFile::What::Unfinished:
            text = QStringLiteral("an unfinished new file of \"%1\" is left as \"%2\"").arg(target, under);
            break;
        }
        texts << (file.reason.isEmpty() ? text : QStringLiteral("%1 (%2)").arg(text, file.reason));
    }
    return texts.join(QStringLiteral("; "));
}
