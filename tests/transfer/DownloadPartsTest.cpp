// The downloader's parts that need no server: names made safe, the chunk
// headers' checks, the temporary file, the move that never replaces (synced
// first, and a checked copy where the folder cannot rename), the records of
// temporary files and their sweep, and the listing's entries.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <limits>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Main/Model/QVDownLoadFileModel.h"
#include "QVDownloadChunk.h"
#include "QVDownloadEngine.h"
#include "QVDownloadFile.h"
#include "QVDownloadNaming.h"
#include "QVDownloadTempRecords.h"

using namespace QVDownloadNaming;
namespace Chunk = QVDownloadChunk;

TEST(DownloadNaming, HostileNamesBecomeOneEntryOfTheFolder)
{
    const QString longBase = QString(300, QChar(0x6587));  // 3 UTF-8 bytes each
    const struct {
        QString remote;
        QString safe;
    } cases[] = {
        {QStringLiteral("report.pdf"), QStringLiteral("report.pdf")},
        {QStringLiteral("../../.bashrc"), QStringLiteral(".bashrc")},
        {QStringLiteral("/etc/passwd"), QStringLiteral("passwd")},
        {QStringLiteral("dir/"), QStringLiteral("download")},
        {QStringLiteral("a/b/.."), QStringLiteral("download")},
        {QStringLiteral("."), QStringLiteral("download")},
        {QString(), QStringLiteral("download")},
        {QString::fromUtf8("nul\0byte", 8), QStringLiteral("nul_byte")},
        {QStringLiteral("bell\a\x7f\u0085.txt"), QStringLiteral("bell___.txt")},
        {QString(QChar(0xD800)) + QStringLiteral("x"), QStringLiteral("_x")},
        {QStringLiteral("..."), QStringLiteral("...")},
        {QStringLiteral("back\\slash"), QStringLiteral("back\\slash")},
        {QStringLiteral("emoji \U0001F600.png"), QStringLiteral("emoji \U0001F600.png")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.remote.toStdString());
        EXPECT_EQ(safeFileName(c.remote), c.safe);
    }
    // Too long: cut on a character boundary, the extension kept.
    const QString cut = safeFileName(longBase + QStringLiteral(".docx"));
    EXPECT_LE(cut.toUtf8().size(), kMaxNameBytes);
    EXPECT_TRUE(cut.endsWith(QStringLiteral(".docx")));
    EXPECT_EQ(cut, QString(83, QChar(0x6587)) + QStringLiteral(".docx"));
    EXPECT_EQ(safeFileName(QString(400, QLatin1Char('x'))).size(), 255);
    // A pair of surrogates is never split.
    QString faces;
    for (int i = 0; i < 130; ++i)
        faces += QStringLiteral("\U0001F600");
    const QString cutFaces = safeFileName(faces);
    EXPECT_EQ(cutFaces.toUtf8().size(), 252);
    EXPECT_FALSE(cutFaces.back().isHighSurrogate());
}

TEST(DownloadNaming, TheTargetPathIsAlwaysInsideTheFolder)
{
    QVDownLoadFileModel file;
    file.setName(QStringLiteral("../../etc/passwd"));
    EXPECT_EQ(QVDownloadEngine::creatTargetPathWithModel(QStringLiteral("/home/u/Downloads"), file),
              QStringLiteral("/home/u/Downloads/passwd"));
}

TEST(DownloadNaming, TakenNamesGetANumberBeforeTheExtension)
{
    EXPECT_EQ(numberedName(QStringLiteral("report.pdf"), 2), QStringLiteral("report(2).pdf"));
    EXPECT_EQ(numberedName(QStringLiteral("a.tar.gz"), 1), QStringLiteral("a.tar(1).gz"));
    EXPECT_EQ(numberedName(QStringLiteral("README"), 1), QStringLiteral("README(1)"));
    EXPECT_EQ(numberedName(QStringLiteral(".profile"), 0), QStringLiteral(".profile(0)"));
    const QString longest = QString(251, QLatin1Char('n')) + QStringLiteral(".txt");
    const QString numbered = numberedName(longest, 12);
    EXPECT_EQ(numbered.toUtf8().size(), 255);
    EXPECT_TRUE(numbered.endsWith(QStringLiteral("(12).txt")));
    const QString longExtension = QStringLiteral("a.") + QString(250, QLatin1Char('e'));
    EXPECT_LE(numberedName(longExtension, 3).toUtf8().size(), 255);
    EXPECT_TRUE(numberedName(longExtension, 3).endsWith(QStringLiteral("(3)")));
}

TEST(DownloadChunk, NumbersAndDigestsAreReadStrictly)
{
    EXPECT_EQ(Chunk::decimalValue("0"), 0);
    EXPECT_EQ(Chunk::decimalValue(" 8388608\t"), 8388608);
    EXPECT_EQ(Chunk::decimalValue("9223372036854775807"), Q_INT64_C(9223372036854775807));
    for (const char *bad : {"", " ", "-1", "+1", "1e3", "0x10", "12abc", "1 2", "9223372036854775808",
                            "99999999999999999999999", "\xd9\xa3"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(Chunk::decimalValue(bad).has_value());
    }
    EXPECT_EQ(Chunk::md5Value("D41D8CD98F00B204E9800998ECF8427E"), QByteArray("d41d8cd98f00b204e9800998ecf8427e"));
    EXPECT_FALSE(Chunk::md5Value("d41d8cd98f00b204e9800998ecf8427").has_value());
    EXPECT_FALSE(Chunk::md5Value("g41d8cd98f00b204e9800998ecf8427e").has_value());
}

TEST(DownloadChunk, HeadersMustDescribeAChunkThatFitsTheFile)
{
    const QByteArray md5 = "0123456789abcdef0123456789abcdef";
    auto headers = [&](QByteArray total, QByteArray size) {
        QList<QPair<QByteArray, QByteArray>> list{{"file-md5", md5}};
        if (!total.isNull())
            list.append({"Total-Chunk-Number", total});
        if (!size.isNull())
            list.append({"CURRENT-CHUNK-SIZE", size});
        return list;
    };
    Chunk::Expectation e;
    e.chunkIndex = 1;
    e.knownTotalChunks = 3;
    e.verifiedBytes = 1000;
    e.fileSize = 2500;
    e.maxChunkBytes = 1000;

    const Chunk::Result good = Chunk::readHeaders(200, headers("3", "1000"), e);
    ASSERT_TRUE(good.ok());
    EXPECT_EQ(good.header.md5, md5);
    EXPECT_EQ(good.header.totalChunks, 3);
    EXPECT_EQ(good.header.chunkSize, 1000);

    using E = Chunk::Error;
    EXPECT_EQ(Chunk::readHeaders(404, headers("3", "1000"), e).error, E::HttpStatus);
    EXPECT_EQ(Chunk::readHeaders(302, headers("3", "1000"), e).error, E::HttpStatus);
    EXPECT_EQ(Chunk::readHeaders(200, {}, e).error, E::Md5Missing);
    EXPECT_EQ(Chunk::readHeaders(200, headers(QByteArray(), "1000"), e).error, E::TotalMissing);
    EXPECT_EQ(Chunk::readHeaders(200, headers("three", "1000"), e).error, E::TotalMalformed);
    EXPECT_EQ(Chunk::readHeaders(200, headers("0", "1000"), e).error, E::TotalOutOfRange);
    EXPECT_EQ(Chunk::readHeaders(200, headers("1", "1000"), e).error, E::TotalOutOfRange);
    EXPECT_EQ(Chunk::readHeaders(200, headers("2501", "1000"), e).error, E::TotalOutOfRange);
    EXPECT_EQ(Chunk::readHeaders(200, headers("4", "1000"), e).error, E::TotalChanged);
    EXPECT_EQ(Chunk::readHeaders(200, headers("3", QByteArray()), e).error, E::SizeMissing);
    EXPECT_EQ(Chunk::readHeaders(200, headers("3", "-5"), e).error, E::SizeMalformed);
    EXPECT_EQ(Chunk::readHeaders(200, headers("3", "0"), e).error, E::SizeOutOfRange);
    EXPECT_EQ(Chunk::readHeaders(200, headers("3", "1001"), e).error, E::SizeOutOfRange);
    e.maxChunkBytes = Chunk::kDefaultMaxChunkBytes;
    EXPECT_EQ(Chunk::readHeaders(200, headers("3", "1501"), e).error, E::SizeOutOfRange);
    EXPECT_TRUE(Chunk::readHeaders(200, headers("3", "1500"), e).ok());
    // A header sent twice must agree with itself.
    auto twice = headers("3", "1000");
    twice.append(qMakePair(QByteArray("Total-Chunk-Number"), QByteArray("5")));
    EXPECT_EQ(Chunk::readHeaders(200, twice, e).error, E::TotalMalformed);
    // Sums at the edge of 64 bits do not wrap.
    e.fileSize = std::numeric_limits<qint64>::max();
    e.verifiedBytes = std::numeric_limits<qint64>::max() - 10;
    e.knownTotalChunks = 0;
    EXPECT_EQ(Chunk::readHeaders(200, headers("3", "11"), e).error, E::SizeOutOfRange);
}

TEST(DownloadFile, TheTemporaryFileIsFreshWritesGoWhereToldAndTheMoveNeverReplaces)
{
    QTemporaryDir dir;
    QString error;
    QFile existing(dir.filePath(QStringLiteral("500")));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("keep");
    existing.close();
    auto file = QVDownloadFile::createExclusive(dir.path(), 500, &error);
    ASSERT_TRUE(file) << error.toStdString();
    EXPECT_EQ(file->name(), QStringLiteral("501"));

    file->writeAt(0, "abcdef", 6);
    file->writeAt(3, "XY", 2);
    file->truncate(4);
    file->writeAt(4, "12", 2);
    EXPECT_TRUE(file->error().isEmpty());
    EXPECT_EQ(file->size(), 6);
    QFile check(file->path());
    ASSERT_TRUE(check.open(QIODevice::ReadOnly));
    EXPECT_EQ(check.readAll(), QByteArray("abcX12"));

    QFile taken(dir.filePath(QStringLiteral("r.txt")));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.close();
    QString last;
    const auto name = file->moveToFinalName(QStringLiteral("r.txt"), true, 1, 10, &last, &error);
    ASSERT_TRUE(name);
    EXPECT_EQ(*name, QStringLiteral("r(1).txt"));
    EXPECT_EQ(last, *name);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("501"))));
    const auto identity = file->identity();
    ASSERT_TRUE(identity);
    EXPECT_EQ(identity->size, 6);

    // An unchanged finished file may be removed; a changed one stays.
    QFile touch(dir.filePath(*name));
    ASSERT_TRUE(touch.open(QIODevice::Append));
    touch.write("!");
    touch.close();
    EXPECT_FALSE(QVDownloadFiles::removeIfUnchanged(dir.filePath(*name), *identity));
    EXPECT_TRUE(QFile::exists(dir.filePath(*name)));
    EXPECT_EQ(QFile(dir.filePath(QStringLiteral("500"))).size(), 4);

    // The temporary name replaced by someone else: it is not ours to remove.
    auto other = QVDownloadFile::createExclusive(dir.path(), 900, &error);
    ASSERT_TRUE(other);
    EXPECT_TRUE(other->isStillInPlace());
    QFile::remove(other->path());
    QFile impostor(other->path());
    ASSERT_TRUE(impostor.open(QIODevice::WriteOnly));
    impostor.write("impostor");
    impostor.close();
    EXPECT_FALSE(other->isStillInPlace());
    other->removeTemporary();
    EXPECT_TRUE(QFile::exists(other->path()));

    EXPECT_FALSE(QVDownloadFile::createExclusive(dir.filePath(QStringLiteral("missing")), 1, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(DownLoadFileModel, ListingEntriesAreReadWhateverTheirTypes)
{
    const QByteArray listing = R"([
        {"absPath": "Root-Local/a.pdf", "name": "a.pdf", "fileSize": 123, "lastModifyTime": 1700000000000,
         "dir": false, "fileType": "PDF"},
        {"absPath": "Root-Local/d", "name": "d", "fileSize": "0", "dir": "true"},
        "not an entry", 5, null,
        {"name": ["x"], "fileSize": {"n": 1}, "dir": 1}
    ])";
    const auto models = QVDownLoadFileModel::modelsWithListing(QJsonDocument::fromJson(listing).array());
    ASSERT_EQ(models.size(), 3);
    EXPECT_EQ(models[0]->fileSize(), QStringLiteral("123"));
    EXPECT_EQ(models[0]->fileSizeValue(), 123);
    EXPECT_EQ(models[0]->lastModifyTime(), QStringLiteral("1700000000000"));
    EXPECT_FALSE(models[0]->dir());
    EXPECT_TRUE(models[1]->dir());
    EXPECT_TRUE(models[2]->name().isEmpty());
    EXPECT_EQ(models[2]->fileSizeValue(), 0);
    EXPECT_TRUE(models[2]->dir());
    EXPECT_TRUE(QVDownLoadFileModel::modelsWithListing(QJsonValue(QStringLiteral("[]"))).isEmpty());

    // Sizes are read as their leading integer and never wrap: a huge size
    // stays huge (the engine then refuses it) instead of turning small.
    const QByteArray sizes = R"([{"fileSize": " 42 KB"}, {"fileSize": "-7"}, {"fileSize": "99999999999999999999"},
        {"fileSize": "-99999999999999999999"}, {"fileSize": "x1"}])";
    const auto sized = QVDownLoadFileModel::modelsWithListing(QJsonDocument::fromJson(sizes).array());
    ASSERT_EQ(sized.size(), 5);
    EXPECT_EQ(sized[0]->fileSizeValue(), 42);
    EXPECT_EQ(sized[1]->fileSizeValue(), -7);
    EXPECT_EQ(sized[2]->fileSizeValue(), std::numeric_limits<qint64>::max());
    EXPECT_EQ(sized[3]->fileSizeValue(), std::numeric_limits<qint64>::min());
    EXPECT_EQ(sized[4]->fileSizeValue(), 0);

    // The hand-over list carries the entries' maps; the round trip keeps them.
    const QVariantList handOver{models[0]->toVariantMap(), QStringLiteral("junk"), models[1]->toVariantMap()};
    const auto back = QVDownLoadFileModel::modelsWithHandOver(handOver);
    ASSERT_EQ(back.size(), 2);
    EXPECT_EQ(back[0]->keyValues(), models[0]->keyValues());
    EXPECT_EQ(back[1]->absPath(), QStringLiteral("Root-Local/d"));
    EXPECT_EQ(back[0]->downLoadStatus(), QVDownLoadFileModel::Waiting);
}

namespace {

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(DownloadFile, TheBytesAreSyncedBeforeTheFileTakesItsNameAndTheNameAfter)
{
    QTemporaryDir dir;
    QString error;
    QStringList calls;
    ino_t temporaryInode = 0;
    QVDownloadFileCalls recording = QVDownloadFileCalls::system();
    const QVDownloadFileCalls system = QVDownloadFileCalls::system();
    recording.sync = [&](int fd) {
        struct stat info {};
        ::fstat(fd, &info);
        calls << (S_ISDIR(info.st_mode) ? QStringLiteral("sync folder")
                  : info.st_ino == temporaryInode ? QStringLiteral("sync %1 bytes").arg(info.st_size)
                                                  : QStringLiteral("sync other"));
        return system.sync(fd);
    };
    recording.renameNoReplace = [&](int folderFd, const char *from, const char *to) {
        calls << QStringLiteral("rename");
        return system.renameNoReplace(folderFd, from, to);
    };
    auto file = QVDownloadFile::createExclusive(dir.path(), 7, &error, recording);
    ASSERT_TRUE(file);
    temporaryInode = file->identity()->inode;
    file->writeAt(0, "abcdef", 6);
    QString last;
    ASSERT_TRUE(file->moveToFinalName(QStringLiteral("f.txt"), true, 1, 5, &last, &error));
    EXPECT_EQ(calls, (QStringList{"sync 6 bytes", "rename", "sync folder"}));

    // A sync that fails leaves the file where it is, under its temporary
    // name.
    recording.sync = [](int) { return EIO; };
    auto failing = QVDownloadFile::createExclusive(dir.path(), 100, &error, recording);
    ASSERT_TRUE(failing);
    failing->writeAt(0, "xyz", 3);
    EXPECT_FALSE(failing->moveToFinalName(QStringLiteral("g.txt"), true, 1, 5, &last, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("g.txt"))));
    EXPECT_EQ(contentOf(failing->path()), QByteArray("xyz"));
    EXPECT_FALSE(failing->isMoved());
}

TEST(DownloadFile, WithoutRenameOrLinkACopyIsCheckedBeforeTheTemporaryFileGoes)
{
    QTemporaryDir dir;
    QString error;
    QString last;
    QVDownloadFileCalls noRename = QVDownloadFileCalls::system();
    noRename.renameNoReplace = [](int, const char *, const char *) { return EINVAL; };
    noRename.link = [](int, const char *, const char *) { return EPERM; };
    QFile taken(dir.filePath(QStringLiteral("r.txt")));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.write("keep");
    taken.close();
    // Several blocks, the last one short.
    QByteArray bytes(3 * 1024 * 1024 + 17, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 131 + (i >> 12));

    auto file = QVDownloadFile::createExclusive(dir.path(), 500, &error, noRename);
    ASSERT_TRUE(file);
    const QString temporary = file->path();
    file->writeAt(0, bytes.constData(), bytes.size());
    const auto name = file->moveToFinalName(QStringLiteral("r.txt"), true, 1, 10, &last, &error);
    ASSERT_TRUE(name) << qPrintable(error);
    EXPECT_EQ(*name, QStringLiteral("r(1).txt"));
    EXPECT_TRUE(file->isMoved());
    EXPECT_FALSE(QFile::exists(temporary));
    EXPECT_EQ(contentOf(dir.filePath(QStringLiteral("r(1).txt"))), bytes);
    EXPECT_EQ(contentOf(dir.filePath(QStringLiteral("r.txt"))), QByteArray("keep"));
    // The finished file is the copy, and is not removed as a temporary file.
    struct stat copied {};
    ASSERT_EQ(::stat(QFile::encodeName(dir.filePath(*name)).constData(), &copied), 0);
    EXPECT_EQ(file->identity()->inode, copied.st_ino);
    file->removeTemporary();
    EXPECT_TRUE(QFile::exists(dir.filePath(*name)));

    // A copy that does not read back as the file is removed again, and the
    // temporary file stays for a later try.
    QVDownloadFileCalls spoiling = noRename;
    ino_t temporaryInode = 0;
    spoiling.sync = [&](int fd) {
        struct stat info {};
        ::fstat(fd, &info);
        if (S_ISREG(info.st_mode) && info.st_ino != temporaryInode)
            ::pwrite(fd, "!", 1, 1000);
        return 0;
    };
    auto spoilt = QVDownloadFile::createExclusive(dir.path(), 600, &error, spoiling);
    ASSERT_TRUE(spoilt);
    temporaryInode = spoilt->identity()->inode;
    spoilt->writeAt(0, bytes.constData(), bytes.size());
    error.clear();
    EXPECT_FALSE(spoilt->moveToFinalName(QStringLiteral("s.txt"), true, 1, 10, &last, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("differs"))) << qPrintable(error);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("s.txt"))));
    EXPECT_EQ(contentOf(spoilt->path()), bytes);
    EXPECT_FALSE(spoilt->isMoved());
}

TEST(DownloadTempRecords, ASweepRemovesOnlyUntouchedUnusedFilesOfEarlierRunsOwnedByTheUser)
{
    QTemporaryDir dir;
    QByteArray stored;
    const QVDownloadTempRecords::Store store{[&] { return stored; }, [&](const QByteArray &text) { stored = text; }};
    QVDownloadTempRecords earlier(store, QStringLiteral("earlier"), ::geteuid());
    QVDownloadTempRecords now(store, QStringLiteral("now"), ::geteuid());
    auto make = [&](QVDownloadTempRecords &records, const QString &name) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(name.toUtf8());
        file.close();
        struct stat info {};
        ::lstat(QFile::encodeName(file.fileName()).constData(), &info);
        records.add(dir.path(), name, QVDownloadFile::Identity{info.st_dev, info.st_ino, info.st_size, 0});
    };
    make(earlier, QStringLiteral("1"));
    make(earlier, QStringLiteral("2"));
    make(earlier, QStringLiteral("3"));
    make(earlier, QStringLiteral("4"));
    make(earlier, QStringLiteral("5"));
    make(now, QStringLiteral("6"));
    // 2 is now another file; 3 is locked by a download; 4 became a link to
    // a file of the same name elsewhere; 5 is gone.
    const QString other = dir.filePath(QStringLiteral("other"));
    QFile replacement(other);
    ASSERT_TRUE(replacement.open(QIODevice::WriteOnly));
    replacement.write("mine");
    replacement.close();
    ASSERT_EQ(::rename(QFile::encodeName(other).constData(), QFile::encodeName(dir.filePath("2")).constData()), 0);
    QFile locked(dir.filePath(QStringLiteral("3")));
    ASSERT_TRUE(locked.open(QIODevice::ReadOnly));
    ASSERT_EQ(::flock(locked.handle(), LOCK_EX | LOCK_NB), 0);
    ASSERT_TRUE(QFile::rename(dir.filePath(QStringLiteral("4")), dir.filePath(QStringLiteral("4-target"))));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("4-target")), dir.filePath(QStringLiteral("4"))));
    ASSERT_TRUE(QFile::remove(dir.filePath(QStringLiteral("5"))));
    // This run's own file is locked by its download, as any kept one is.
    QFile own(dir.filePath(QStringLiteral("6")));
    ASSERT_TRUE(own.open(QIODevice::ReadOnly));
    ASSERT_EQ(::flock(own.handle(), LOCK_EX | LOCK_NB), 0);
    // Records that name no single file are no records.
    stored.chop(1);
    stored += R"(,{"folder":")" + dir.path().toUtf8() + R"(","name":"../x","run":"old","device":"1","inode":"2"},)"
              R"({"folder":")" + dir.path().toUtf8() + R"(","name":"7","run":"old"}, 5, "x"])";

    EXPECT_EQ(now.sweep(dir.path()), QStringList{QStringLiteral("1")});
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("1"))));
    EXPECT_EQ(contentOf(dir.filePath(QStringLiteral("2"))), QByteArray("mine"));
    EXPECT_EQ(contentOf(dir.filePath(QStringLiteral("3"))), QByteArray("3"));
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("4"))).isSymLink());
    EXPECT_EQ(contentOf(dir.filePath(QStringLiteral("4-target"))), QByteArray("4"));
    EXPECT_EQ(contentOf(dir.filePath(QStringLiteral("6"))), QByteArray("6"));
    // The locked file and this run's own stay recorded; the rest is
    // forgotten.
    QStringList names = now.names(dir.path());
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("3"), QStringLiteral("6")}));

    // Unlocked, the earlier run's file goes at the next sweep; a sweep of
    // the run that made a file never touches it, and one in use stays.
    locked.close();
    EXPECT_TRUE(earlier.sweep(dir.path()).isEmpty());
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("6"))));
    EXPECT_EQ(now.sweep(dir.path()), QStringList{QStringLiteral("3")});
    EXPECT_EQ(now.names(dir.path()), QStringList{QStringLiteral("6")});
    now.remove(dir.path(), QStringLiteral("6"));
    EXPECT_TRUE(now.names(dir.path()).isEmpty());
    EXPECT_TRUE(stored.isEmpty() || stored == "[]");

    // Files of another user are never removed.
    QVDownloadTempRecords past(store, QStringLiteral("past"), ::geteuid());
    make(past, QStringLiteral("8"));
    QVDownloadTempRecords otherUser(store, QStringLiteral("other"), ::geteuid() + 1);
    EXPECT_TRUE(otherUser.sweep(dir.path()).isEmpty());
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("8"))));
}
