#include "QVLogFile.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

constexpr const char *FilePrefix = "Quavdesk ";
constexpr const char *FileSuffix = ".log";
constexpr const char *CreationFormat = "yyyy-MM-dd--HH-mm-ss-zzz";

} // namespace

QVLogFile::QVLogFile(QString folder, std::chrono::seconds rollingFrequency, qint64 maximumFileSize,
                     int maximumNumberOfLogFiles)
    : m_folder(std::move(folder))
    , m_rollingFrequency(rollingFrequency)
    , m_maximumFileSize(maximumFileSize)
    , m_maximumNumberOfLogFiles(std::max(1, maximumNumberOfLogFiles))
{
}

QVLogFile::~QVLogFile()
{
    close();
}

QString QVLogFile::fileNameForCreation(const QDateTime &created)
{
    return QString::fromLatin1(FilePrefix) + created.toUTC().toString(QString::fromLatin1(CreationFormat))
        + QString::fromLatin1(FileSuffix);
}

QDateTime QVLogFile::creationFromFileName(const QString &fileName)
{
    const QString prefix = QString::fromLatin1(FilePrefix);
    const QString suffix = QString::fromLatin1(FileSuffix);
    if (!fileName.startsWith(prefix) || !fileName.endsWith(suffix))
        return QDateTime();
    const QString stamp = fileName.mid(prefix.size(), fileName.size() - prefix.size() - suffix.size());
    QDateTime created = QDateTime::fromString(stamp, QString::fromLatin1(CreationFormat));
    if (!created.isValid())
        return QDateTime();
    created.setTimeSpec(Qt::UTC);
    return created;
}

QStringList QVLogFile::logFiles() const
{
    struct Entry {
        QString path;
        QDateTime created;
    };
    QList<Entry> entries;
    const QDir dir(m_folder);
    const QStringList names = dir.entryList({QString::fromLatin1(FilePrefix) + QLatin1Char('*') + FileSuffix},
                                            QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        const QDateTime created = creationFromFileName(name);
        if (created.isValid())
            entries.append({dir.filePath(name), created});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return a.created != b.created ? a.created > b.created : a.path > b.path;
    });
    QStringList paths;
    for (const Entry &entry : entries)
        paths.append(entry.path);
    return paths;
}

bool QVLogFile::isDue(const QDateTime &now) const
{
    if (!m_file)
        return true;
    const qint64 ageMs = m_created.msecsTo(now);
    if (ageMs >= std::chrono::duration_cast<std::chrono::milliseconds>(m_rollingFrequency).count())
        return true;
    return m_maximumFileSize > 0 && m_size >= m_maximumFileSize;
}

void QVLogFile::close()
{
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
}

bool QVLogFile::reopenNewestFile(const QDateTime &now)
{
    const QStringList files = logFiles();
    if (files.isEmpty())
        return false;
    const QString path = files.first();
    if (!openForAppending(path, creationFromFileName(QFileInfo(path).fileName())))
        return false;
    if (isDue(now)) {
        close();
        return false;
    }
    return true;
}

bool QVLogFile::openNewFile(const QDateTime &now)
{
    close();
    if (!QDir().mkpath(m_folder))
        return false;
    QDateTime created = now;
    QString path = QDir(m_folder).filePath(fileNameForCreation(created));
    // Two rolls within one millisecond would share a name; step on.
    while (QFileInfo::exists(path)) {
        created = created.addMSecs(1);
        path = QDir(m_folder).filePath(fileNameForCreation(created));
    }
    if (!openForAppending(path, created))
        return false;
    deleteOldFiles();
    return true;
}

bool QVLogFile::openForAppending(const QString &path, const QDateTime &created)
{
    std::FILE *file = std::fopen(QFile::encodeName(path).constData(), "ab");
    if (!file)
        return false;
    m_file = file;
    m_path = path;
    m_created = created;
    m_size = QFileInfo(path).size();
    return true;
}

void QVLogFile::deleteOldFiles()
{
    int othersKept = 0;
    for (const QString &path : logFiles()) {
        if (path == m_path)
            continue;
        if (othersKept < m_maximumNumberOfLogFiles - 1) {
            ++othersKept;
            continue;
        }
        QFile::remove(path);
    }
}

void QVLogFile::write(const QString &line, const QDateTime &now)
{
    if (!m_startedUp) {
        m_startedUp = true;
        if (!reopenNewestFile(now))
            openNewFile(now);
        else
            deleteOldFiles();
    } else if (isDue(now)) {
        openNewFile(now);
    }
    if (!m_file)
        return;
    QByteArray bytes = line.toUtf8();
    bytes.append('\n');
    const size_t written = std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), m_file);
    m_size += static_cast<qint64>(written);
}

void QVLogFile::flush()
{
    if (m_file)
        std::fflush(m_file);
}
