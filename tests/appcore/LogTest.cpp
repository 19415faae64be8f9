#include "PublicManager/QVLog.h"
#include "PublicManager/QVLogFile.h"
#include "PublicManager/QVLogManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// A wall clock the test moves by hand; read from the logging worker too.
struct ManualClock {
    std::atomic<qint64> ms{QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9, 12)).toMSecsSinceEpoch()};
    QDateTime now() const { return QDateTime::fromMSecsSinceEpoch(ms.load()); }
    void advance(qint64 by) { ms += by; }
};

constexpr qint64 Week = 604800LL * 1000;

QStringList readLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QString stampOf(const ManualClock &clock)
{
    return clock.now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss zzz"));
}

class LogTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void TearDown() override { QVLog::shutdown(); }

    void setUp(bool asynchronous, qint64 maximumSize = 1024 * 1024)
    {
        QVLogOptions options;
        options.folder = dir.path() + QStringLiteral("/Logs");
        options.clock = [this] { return clock.now(); };
        options.console = false;
        options.asynchronous = asynchronous;
        options.maximumFileSize = maximumSize;
        QVLogManager().creatLogFile(options);
    }

    QStringList files() const
    {
        return QDir(dir.path() + QStringLiteral("/Logs")).entryList(QDir::Files, QDir::Name);
    }

    QStringList onlyFileLines()
    {
        const QStringList names = files();
        EXPECT_EQ(names.size(), 1) << names.join(QLatin1Char(',')).toStdString();
        if (names.size() != 1)
            return {};
        return readLines(dir.path() + QStringLiteral("/Logs/") + names.first());
    }

    QTemporaryDir dir;
    ManualClock clock;
};

} // namespace

TEST(LogFormatTest, LevelWordsAndLine)
{
    EXPECT_EQ(QVCustomerLogFormat::levelWord(1), QStringLiteral("ERROR"));
    EXPECT_EQ(QVCustomerLogFormat::levelWord(2), QStringLiteral("WARN"));
    EXPECT_EQ(QVCustomerLogFormat::levelWord(4), QStringLiteral("INFO"));
    EXPECT_EQ(QVCustomerLogFormat::levelWord(8), QStringLiteral("DEBUG"));
    EXPECT_EQ(QVCustomerLogFormat::levelWord(16), QStringLiteral("VIEW"));
    EXPECT_EQ(QVCustomerLogFormat::levelWord(0), QStringLiteral("VIEW"));
    EXPECT_EQ(QVCustomerLogFormat::levelWord(3), QStringLiteral("VIEW"));

    QVLogMessage message;
    message.timestamp = QDateTime(QDate(2023, 12, 31), QTime(23, 59, 58, 7));
    message.flag = QVLog::FlagInfo;
    message.message = QStringLiteral("a | b");
    EXPECT_EQ(QVCustomerLogFormat().formatLogMessage(message),
              QStringLiteral("2023-12-31 23:59:58 007 | INFO | a | b"));
}

TEST_F(LogTest, EveryLevelReachesTheFileInTheLineFormat)
{
    setUp(true);
    QVLogError(QVLog::ContextHttp, QStringLiteral("internal error"));
    QVLogWarn(0, QStringLiteral("warned"));
    QVLogInfo(0, QStringLiteral("QVShareManager 网络由不可用转为可用"));
    QVLogDebug(QVLog::ContextHttp, QStringLiteral("requestUrl = x"));
    QVLogVerbose(0, QStringLiteral("verbose"));
    QVLog::write(32, 0, QStringLiteral("odd flag"), __FILE__, __func__, __LINE__);
    QVLog::flush();

    const QString stamp = stampOf(clock);
    const QStringList expected = {
        stamp + QStringLiteral(" | ERROR | internal error"),
        stamp + QStringLiteral(" | WARN | warned"),
        stamp + QStringLiteral(" | INFO | QVShareManager 网络由不可用转为可用"),
        stamp + QStringLiteral(" | DEBUG | requestUrl = x"),
        stamp + QStringLiteral(" | VIEW | verbose"),
        stamp + QStringLiteral(" | VIEW | odd flag"),
    };
    EXPECT_EQ(onlyFileLines(), expected);
}

TEST_F(LogTest, LinesFromManyThreadsAllArrive)
{
    setUp(true);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 250; ++i)
                QVLogInfo(0, QStringLiteral("thread %1 line %2").arg(t).arg(i));
        });
    }
    for (auto &thread : threads)
        thread.join();
    QVLog::flush();
    const QStringList lines = onlyFileLines();
    EXPECT_EQ(lines.size(), 1000);
    for (const QString &line : lines)
        EXPECT_TRUE(line.contains(QStringLiteral(" | INFO | thread "))) << line.toStdString();
}

TEST_F(LogTest, RollsAfterSevenDaysKeepingOneFile)
{
    setUp(false);
    QVLogInfo(0, QStringLiteral("first"));
    const QStringList before = files();
    ASSERT_EQ(before.size(), 1);

    clock.advance(Week - 1);
    QVLogInfo(0, QStringLiteral("still the first file"));
    EXPECT_EQ(files(), before);

    clock.advance(1);
    QVLogInfo(0, QStringLiteral("second file"));
    const QStringList after = files();
    ASSERT_EQ(after.size(), 1);
    EXPECT_NE(after, before);
    const QStringList lines = onlyFileLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines.first(), stampOf(clock) + QStringLiteral(" | INFO | second file"));
}

TEST_F(LogTest, ALargeFileRollsEarly)
{
    setUp(false, 200);
    for (int i = 0; i < 10; ++i) {
        QVLogInfo(0, QString(40, QLatin1Char('x')));
        clock.advance(1);
    }
    const QStringList lines = onlyFileLines();
    // Each line takes 74 bytes: a file rolls once it holds 200 or more, so
    // lines 1-3, 4-6 and 7-9 filled the earlier files and only line 10 is left.
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines.first().endsWith(QString(40, QLatin1Char('x'))));
}

TEST_F(LogTest, ARestartAppendsToAYoungFileAndReplacesAnOldOne)
{
    setUp(false);
    QVLogInfo(0, QStringLiteral("before restart"));
    QVLog::shutdown();

    clock.advance(3600 * 1000);
    setUp(false);
    QVLogInfo(0, QStringLiteral("after restart"));
    EXPECT_EQ(onlyFileLines().size(), 2);
    QVLog::shutdown();

    clock.advance(Week);
    setUp(false);
    QVLogInfo(0, QStringLiteral("a week later"));
    const QStringList lines = onlyFileLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines.first().endsWith(QStringLiteral("a week later")));
}

TEST(LogFileTest, KeepsTheNewestFilesAndIgnoresOthers)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QDateTime start(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC);
    // A stranger's file in the folder stays untouched.
    QFile stranger(dir.filePath(QStringLiteral("notes.txt")));
    ASSERT_TRUE(stranger.open(QIODevice::WriteOnly));
    stranger.close();

    QVLogFile file(dir.path(), std::chrono::seconds(10), 0, 2);
    file.write(QStringLiteral("one"), start);
    file.write(QStringLiteral("two"), start.addSecs(10));
    file.write(QStringLiteral("three"), start.addSecs(20));
    file.flush();
    const QStringList logs = file.logFiles();
    ASSERT_EQ(logs.size(), 2);
    EXPECT_EQ(logs.first(), file.currentFilePath());
    EXPECT_EQ(QFileInfo(logs.first()).fileName(), QVLogFile::fileNameForCreation(start.addSecs(20)));
    EXPECT_EQ(QFileInfo(logs.last()).fileName(), QVLogFile::fileNameForCreation(start.addSecs(10)));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("notes.txt"))));

    EXPECT_EQ(QVLogFile::creationFromFileName(QVLogFile::fileNameForCreation(start)), start);
    EXPECT_FALSE(QVLogFile::creationFromFileName(QStringLiteral("Quavdesk garbage.log")).isValid());
    EXPECT_FALSE(QVLogFile::creationFromFileName(QStringLiteral("other.log")).isValid());
}

TEST(LogFileTest, AnUnwritableFolderDropsLinesWithoutHarm)
{
    QVLogFile file(QStringLiteral("/proc/no-such-folder/Logs"), std::chrono::seconds(10), 0, 1);
    file.write(QStringLiteral("lost"), QDateTime::currentDateTime());
    file.flush();
    EXPECT_TRUE(file.currentFilePath().isEmpty());
}

TEST_F(LogTest, WithoutAFolderTheFileGoesToLogsInTheUsersDataFolder)
{
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", dir.path().toUtf8());
    QVLogOptions options;
    options.clock = [this] { return clock.now(); };
    options.console = false;
    options.asynchronous = false;
    QVLogManager().creatLogFile(options);
    QVLogInfo(0, QStringLiteral("where"));
    QVLog::flush();
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)
        + QStringLiteral("/Logs");
    if (dataHome.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", dataHome);

    ASSERT_TRUE(folder.startsWith(dir.path() + QLatin1Char('/'))) << folder.toStdString();
    const QStringList names = QDir(folder).entryList(QDir::Files);
    ASSERT_EQ(names.size(), 1) << folder.toStdString();
    EXPECT_EQ(readLines(folder + QLatin1Char('/') + names.first()),
              QStringList{stampOf(clock) + QStringLiteral(" | INFO | where")});
}
