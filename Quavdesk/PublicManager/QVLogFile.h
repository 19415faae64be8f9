#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdio>

// The log file on disk: lines are appended to the current file until it is
// `rollingFrequency` old (or `maximumFileSize` large); then a new file starts
// and only the newest `maximumNumberOfLogFiles` files stay. A file's age comes
// from its name, which carries its creation time, so it survives restarts on
// file systems that keep no birth time. Not thread-safe: the sink that owns
// it serialises the calls.
class QVLogFile
{
public:
    QVLogFile(QString folder, std::chrono::seconds rollingFrequency, qint64 maximumFileSize,
              int maximumNumberOfLogFiles);
    ~QVLogFile();

    QVLogFile(const QVLogFile &) = delete;
    QVLogFile &operator=(const QVLogFile &) = delete;

    // Appends `line` and a line break. A file that cannot be opened drops the
    // line; the next write tries again.
    void write(const QString &line, const QDateTime &now);
    void flush();

    QString currentFilePath() const { return m_path; }
    // Log files of the folder, newest first.
    QStringList logFiles() const;

    static QString fileNameForCreation(const QDateTime &created);
    // Invalid when the name is not one of ours.
    static QDateTime creationFromFileName(const QString &fileName);

private:
    bool isDue(const QDateTime &now) const;
    bool openNewFile(const QDateTime &now);
    bool reopenNewestFile(const QDateTime &now);
    bool openForAppending(const QString &path, const QDateTime &created);
    void deleteOldFiles();
    void close();

    QString m_folder;
    std::chrono::seconds m_rollingFrequency;
    qint64 m_maximumFileSize;
    int m_maximumNumberOfLogFiles;

    std::FILE *m_file = nullptr;
    QString m_path;
    QDateTime m_created;
    qint64 m_size = 0;
    bool m_startedUp = false;
};
