// A developer's tool: exports the localisation tables as plain lists for
// translators and rebuilds tables from their translated lists.

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>

#include "Utils/TavlinGlobal/TavlinGlobal.h"

namespace {

struct Localization {
    const char *code;
    const char *table;
};

// The tables the library is translated into. The rebuild names the first
// table "English".
const Localization kLocalizations[] = {
    {"en", "english"},       {"zh-Hans", "ChineseSimple"}, {"zh-Hant", "ChineseTranditional"},
    {"ru", "russian"},       {"es", "Spanish"},            {"fr", "French"},
    {"ro", "Romanian"},      {"de", "German"},             {"it", "Italian"},
};

struct Folders {
    QString source;
    QString output;
};

Folders &folders()
{
    static Folders instance;
    return instance;
}

QString outputFolder()
{
    if (!folders().output.isEmpty())
        return folders().output;
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QString unescape(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\') || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const QChar next = text.at(++i);
        if (next == QLatin1Char('n'))
            out += QLatin1Char('\n');
        else if (next == QLatin1Char('t'))
            out += QLatin1Char('\t');
        else
            out += next;
    }
    return out;
}

QString escape(QString text)
{
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return text;
}

// The "Localizable" table of one localisation, from `"key" = "value";` lines.
QHash<QString, QString> loadTable(const QString &code)
{
    QHash<QString, QString> table;
    QFile file(QStringLiteral("%1/%2.lproj/Localizable.strings").arg(folders().source, code));
    if (!file.open(QIODevice::ReadOnly))
        return table;
    static const QRegularExpression entry(
        QString::fromLatin1(R"re(^\s*"((?:[^"\\]|\\.)*)"\s*=\s*"((?:[^"\\]|\\.)*)"\s*;)re"));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QRegularExpressionMatch match = entry.match(line);
        if (match.hasMatch())
            table.insert(unescape(match.captured(1)), unescape(match.captured(2)));
    }
    return table;
}

QStringList sortedKeys(const QHash<QString, QString> &table)
{
    QStringList keys = table.keys();
    std::sort(keys.begin(), keys.end(), [](const QString &a, const QString &b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
    return keys;
}

// A line of the strings-file form. The quotes inside key and value are
// escaped so that the file reads back as written.
QString stringsLine(const QString &key, QString value)
{
    value.remove(QLatin1Char('\n'));
    return QStringLiteral("\"%1\" = \"%2\";\n").arg(escape(key), escape(value));
}

bool openOutput(QFile &file, const QString &code)
{
    const QString folder = outputFolder();
    QDir().mkpath(folder);
    file.setFileName(folder + QStringLiteral("/%1.strings").arg(code));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qWarning("cannot write %s", qUtf8Printable(file.fileName()));
        return false;
    }
    return true;
}

} // namespace

void TavlinGlobal::setLocalizationFolders(const QString &sourceFolder, const QString &output)
{
    folders() = {sourceFolder, output};
}

void TavlinGlobal::exportString()
{
    for (const Localization &localization : kLocalizations)
        exportStringFile(QString::fromLatin1(localization.code), false);
}

bool TavlinGlobal::exportStringFile(const QString &code, bool withKey)
{
    const QHash<QString, QString> table = loadTable(code);
    QFile file;
    if (!openOutput(file, code))
        return false;
    qInfo("Strings contents are writing to: %s", qUtf8Printable(file.fileName()));
    for (const QString &key : sortedKeys(table)) {
        const QString line = withKey ? stringsLine(key, table.value(key)) : table.value(key) + QLatin1Char('\n');
        qInfo("%s", qUtf8Printable(line));
        file.write(line.toUtf8());
    }
    return file.error() == QFileDevice::NoError;
}

void TavlinGlobal::createString()
{
    for (const Localization &localization : kLocalizations)
        createStringFileFor(QString::fromLatin1(localization.code));
}

bool TavlinGlobal::createStringFileFor(const QString &code)
{
    const QStringList keys = sortedKeys(loadTable(QStringLiteral("en")));
    QFile translations(QStringLiteral("%1/%2.txt").arg(folders().source, code));
    if (!translations.open(QIODevice::ReadOnly)) {
        qWarning("cannot read %s", qUtf8Printable(translations.fileName()));
        return false;
    }
    const QString content = QString::fromUtf8(translations.readAll());
    qInfo("fileContent=%s", qUtf8Printable(content));
    const QStringList lines = content.split(QLatin1Char('\n'));
    QFile file;
    if (!openOutput(file, code))
        return false;
    qInfo("arraySize=%lld,allLineString size=%lld", static_cast<long long>(keys.size()),
          static_cast<long long>(lines.size()));
    const qsizetype count = std::min(keys.size(), lines.size());
    for (qsizetype i = 0; i < count; ++i) {
        const QString line = stringsLine(keys.at(i), lines.at(i));
        qInfo("%s", qUtf8Printable(line));
        file.write(line.toUtf8());
    }
    return file.error() == QFileDevice::NoError;
}
