// The minizip extractor, on the library's own archive and on hostile ones.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "AudioDriver/AudioDriverInstaller.h"
#include "AudioTestSupport.h"
#include "Platform/LinuxSoundPlatform.h"

namespace {

QByteArray libraryArchive()
{
    QFile resource(QString::fromLatin1(AudioDriverInstaller::kArchiveResource));
    return resource.open(QIODevice::ReadOnly) ? resource.readAll() : QByteArray();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(ZipExtractor, TheLibraryArchiveHoldsTheSoundServerConfiguration)
{
    const QByteArray archive = libraryArchive();
    ASSERT_FALSE(archive.isEmpty());
    QTemporaryDir dir;
    const QString destination = dir.filePath(QStringLiteral("with space/ZOM"));
    ASSERT_TRUE(Platform::Linux::makeZipExtractor()->extract(archive, destination));

    const QByteArray pulse = readFile(destination + QStringLiteral("/Sonvale.driver/pulse/Sonvale.pa"));
    EXPECT_TRUE(pulse.contains("load-module module-null-sink sink_name=Sonvale"));
    EXPECT_TRUE(pulse.contains("device.unique_id=Echovane:0"));
    const QByteArray pipewire = readFile(destination + QStringLiteral("/Sonvale.driver/pipewire/Sonvale.conf"));
    EXPECT_TRUE(pipewire.contains("pulse.cmd"));
    EXPECT_TRUE(pipewire.contains("device.unique_id=Echovane:0"));
}

TEST(ZipExtractor, EntriesMadeByAnotherZipWriterComeOutIntact)
{
    bool ok = false;
    const QByteArray content = QByteArray(50000, 'a') + QByteArray("end");
    const QByteArray archive = AudioTest::pythonZip({{QStringLiteral("dir/sub/file.txt"), content},
                                                     {QStringLiteral("top.bin"), QByteArray("\x00\x01\x02", 3)}},
                                                    &ok);
    ASSERT_TRUE(ok);
    QTemporaryDir dir;
    ASSERT_TRUE(Platform::Linux::makeZipExtractor()->extract(archive, dir.path()));
    EXPECT_EQ(readFile(dir.filePath(QStringLiteral("dir/sub/file.txt"))), content);
    EXPECT_EQ(readFile(dir.filePath(QStringLiteral("top.bin"))), QByteArray("\x00\x01\x02", 3));
}

TEST(ZipExtractor, EntriesThatWouldLeaveTheFolderAreRefused)
{
    for (const QString &name : {QStringLiteral("../escaped.txt"), QStringLiteral("a/../../escaped.txt"),
                                QStringLiteral("/tmp/escaped-absolute.txt")}) {
        bool ok = false;
        const QByteArray archive = AudioTest::pythonZip({{name, QByteArray("x")}}, &ok);
        ASSERT_TRUE(ok);
        QTemporaryDir dir;
        const QString destination = dir.filePath(QStringLiteral("inner"));
        EXPECT_FALSE(Platform::Linux::makeZipExtractor()->extract(archive, destination)) << name.toStdString();
        EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("escaped.txt"))));
    }
}

TEST(ZipExtractor, DamagedArchivesAreFailures)
{
    QTemporaryDir dir;
    auto extractor = Platform::Linux::makeZipExtractor();
    EXPECT_FALSE(extractor->extract(QByteArray(), dir.path()));
    EXPECT_FALSE(extractor->extract(QByteArray("not a zip at all"), dir.path()));
    QByteArray archive = libraryArchive();
    ASSERT_GT(archive.size(), 200);
    // Damage the compressed data of the first file entry.
    QByteArray corrupt = archive;
    const qsizetype entry = corrupt.indexOf("Sonvale.pa");
    ASSERT_GT(entry, 0);
    for (qsizetype i = entry + 60; i < entry + 140; ++i)
        corrupt[i] = char(corrupt[i] ^ 0x5a);
    EXPECT_FALSE(extractor->extract(corrupt, dir.filePath(QStringLiteral("corrupt"))));
    // Cut short.
    EXPECT_FALSE(extractor->extract(archive.left(archive.size() / 2), dir.filePath(QStringLiteral("short"))));
}

} // namespace
