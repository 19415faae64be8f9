// Showing a downloaded file: the file manager's ShowItems on a bus of the
// test's own, and the folder opened instead when no file manager answers.

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <gtest/gtest.h>

#include "LinuxFileRevealer.h"
#include "PrivateSessionBus.h"
#include "TestSupport.h"

namespace {

class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QList<QStringList> shown;
    QStringList startupIds;

public slots:
    void ShowItems(const QStringList &uris, const QString &startupId)
    {
        shown.append(uris);
        startupIds.append(startupId);
    }
};

} // namespace

TEST(FileRevealer, TheFileManagerShowsTheFileOrTheFolderOpensInstead)
{
    TestSupport::PrivateSessionBus bus;
    if (!TestSupport::requireBus(bus))
        return;
    QDBusConnection service = bus.connect(QStringLiteral("file-manager"));
    FakeFileManager manager;
    ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                                       QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.FileManager1")));

    QStringList opened;
    auto opener = [&opened](const QString &folder) {
        opened.append(folder);
        return true;
    };
    Platform::Linux::DBusFileRevealer revealer(bus.connect(QStringLiteral("program")), opener);
    EXPECT_TRUE(revealer.revealFile(QStringLiteral("/home/u/Downloads/report (1).pdf")));
    ASSERT_TRUE(TestSupport::waitFor([&] { return !manager.shown.isEmpty(); }));
    EXPECT_EQ(manager.shown.first(), QStringList{QStringLiteral("file:///home/u/Downloads/report%20(1).pdf")});
    TestSupport::spin(50); // for an opened folder that must not come
    EXPECT_TRUE(opened.isEmpty());

    // Nobody owns the name: the folder opens.
    service.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
    EXPECT_TRUE(revealer.revealFile(QStringLiteral("/home/u/Downloads/a.txt")));
    ASSERT_TRUE(TestSupport::waitFor([&] { return !opened.isEmpty(); }));
    EXPECT_EQ(opened, QStringList{QStringLiteral("/home/u/Downloads")});

    // Without a bus at all, at once.
    opened.clear();
    Platform::Linux::DBusFileRevealer offline(QDBusConnection(QStringLiteral("never-connected")), opener);
    EXPECT_TRUE(offline.revealFile(QStringLiteral("/tmp/x/y.bin")));
    EXPECT_EQ(opened, QStringList{QStringLiteral("/tmp/x")});
}

#include "FileRevealerTest.moc"
