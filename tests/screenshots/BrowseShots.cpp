// Takes the README's screenshots of the download window: the program's own
// window, page host and browser over the fake file-share server, in the
// grid and the list layout, a wrong password's banner, a protected folder
// locked after three wrong passwords, and a path too long for its bar. Run
// under the tests' X server:
//
//   run_in_session BUILD/tests/screenshots/browse-shots OUT_DIR
//
// in a shell that sourced scripts/test-env.sh and ran start_test_services.
//
// Without a window manager the window stands at the screen's top left
// corner; each picture is that area of the X screen. Not a test.

#include "FakeFileShareServer.h"
#include "FakePlatform.h"
#include "FakeTavlin.h"

#include "AFNetwork/QVNetWork.h"
#include "Main/ViewController/DownLoadSelectFile/QVDownLoadSelectFileVC.h"
#include "Main/ViewController/Root/QVPageHost.h"
#include "Main/ViewController/Root/QVWindow.h"
#include "Main/ViewController/Root/QVWindowControllers.h"
#include "PublicManager/QVBundleAdd.h"
#include "PublicManager/QVPublicTools.h"
#include "PublicManager/QVShareManager.h"

#include <QApplication>
#include <QBuffer>
#include <QDeadlineTimer>
#include <QDir>
#include <QImageWriter>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

namespace {

void spin(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

QByteArray picture(const QColor &sky, const QColor &ground, int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(image.rect(), sky);
    painter.setBrush(ground);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPoint(w / 3, h), w / 2, h / 2);
    painter.drawEllipse(QPoint(w, h), w / 2, h / 3);
    painter.setBrush(QColor(255, 230, 120));
    painter.drawEllipse(QPoint(w * 3 / 4, h / 4), h / 8, h / 8);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return bytes;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: browse-shots OUT_DIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    QTemporaryDir settings;
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QCoreApplication::setOrganizationName(QStringLiteral("QuavdeskShots"));
    QCoreApplication::setApplicationName(QStringLiteral("QuavdeskShots"));
    QVBundleAdd::installTexts(QStringLiteral("en"));

    FakeServers::FakeFileShareServer server;
    if (!server.listen(QHostAddress(QStringLiteral("127.0.0.1"))))
        return 1;
    server.addRoot({QStringLiteral("Root-Local"), QStringLiteral("Local files"), false, {}, 0});
    server.addRoot({QStringLiteral("Root-Download"), QStringLiteral("Downloads"), false, {}, 0});
    server.addRoot({QStringLiteral("Root-Share"), QStringLiteral("Shared with me"), false, {}, 0});
    server.addRoot({QStringLiteral("Root-Meeting"), QStringLiteral("Meeting recordings"), false, {}, 1});
    server.addRoot({QStringLiteral("Root-Picture"), QStringLiteral("Pictures"), false, {}, 1});
    server.addRoot({QStringLiteral("Root-Encrypt"), QStringLiteral("Private folder"), true, QStringLiteral("246810"), 2});
    qint64 stamp = 1733700000000;
    const auto add = [&](const QString &path, const QByteArray &bytes, const QString &type) {
        server.addFile(QStringLiteral("Root-Local/") + path, bytes, type, stamp);
        stamp -= 3600000;
    };
    server.addFolder(QStringLiteral("Root-Local/Projects"));
    server.addFolder(QStringLiteral("Root-Local/Board meeting 2024"));
    add(QStringLiteral("Harbour at dawn.png"), picture(QColor(120, 170, 230), QColor(40, 110, 80), 320, 200), QStringLiteral("IMAGE"));
    add(QStringLiteral("Team photo.png"), picture(QColor(250, 190, 140), QColor(90, 60, 120), 200, 300), QStringLiteral("IMAGE"));
    add(QStringLiteral("Quarterly report Q3 final version with appendix.pdf"), QByteArray(40000, 'p'), QStringLiteral("PDF"));
    add(QStringLiteral("Budget 2025.xlsx"), QByteArray(12000, 'x'), QStringLiteral("EXCEL"));
    add(QStringLiteral("Kick-off slides.pptx"), QByteArray(90000, 's'), QStringLiteral("PPT"));
    add(QStringLiteral("Minutes.docx"), QByteArray(7000, 'm'), QStringLiteral("DOC"));
    add(QStringLiteral("Product demo.mp4"), QByteArray(120000, 'v'), QStringLiteral("VIDEO"));
    add(QStringLiteral("Release notes.txt"), QByteArray(900, 't'), QStringLiteral("DOCUMENT"));
    add(QStringLiteral("Archive.zip"), QByteArray(5000, 'z'), QStringLiteral("ZIP"));
    add(QStringLiteral("Voice memo.m4a"), QByteArray(3000, 'a'), QStringLiteral("AUDIO"));
    QString deep = QStringLiteral("Root-Local/Projects");
    for (const char *name : {"Customers", "Northern region", "Harbour office", "Contracts 2024", "Renewals",
                             "Signed copies", "Scans", "December"}) {
        deep += QLatin1Char('/') + QString::fromLatin1(name);
        server.addFolder(deep);
    }
    server.addFile(deep + QStringLiteral("/Contract 118.pdf"), QByteArray(8000, 'c'), QStringLiteral("PDF"));
    server.addFile(deep + QStringLiteral("/Contract 119.pdf"), QByteArray(8000, 'c'), QStringLiteral("PDF"));

    auto fake = std::make_shared<FakeTavlin::Shared>();
    QVShareManager manager(fakeServices(fake, std::make_shared<Platform::Fake::FakeScreenCaptureAccess>()));
    QVShareManager::setSharedShareManager(&manager);
    manager.setFileShareIp(server.baseUrl());

    // The namespace the shots run in has no network but loopback, which the
    // system's network information calls no network.
    QVNetWork::shareNetWork()->setIsConnect(true);
    spin(200);
    QVNetWork::shareNetWork()->setIsConnect(true);

    QVDownLoadFileWindowController controller;
    controller.showWindow();
    QWidget *window = controller.windowChrome();
    window->move(0, 0);
    const auto page = [&] {
        return qobject_cast<QVDownLoadSelectFileVC *>(controller.pageHost()->currentViewController());
    };
    const auto settle = [&] {
        spin(300);
        for (int i = 0; i < 50 && page()->isLoading(); ++i)
            spin(100);
        spin(500);
    };
    const auto grab = [&](const char *name) {
        const QRect area = window->frameGeometry();
        QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height())
            .save(out + QLatin1Char('/') + QString::fromLatin1(name));
    };
    settle();
    QVDownLoadSelectFileVC *browser = page();
    if (!browser)
        return 1;
    for (const QVRemoteFileEntryPtr &entry : browser->fileListArray()) {
        if (entry->name.startsWith(QLatin1String("Harbour")) || entry->name.startsWith(QLatin1String("Budget")))
            browser->selectItemWithModel(entry);
    }
    if (browser->layoutType() != 0)
        browser->layoutBtnClick();
    else
        browser->layoutBtnClick(), browser->layoutBtnClick();
    settle();
    grab("browser-grid.png");
    browser->layoutBtnClick();
    settle();
    grab("browser-list.png");
    browser->layoutBtnClick();

    // A path deeper than its bar.
    for (const QVRemoteFileEntryPtr &entry : browser->fileListArray()) {
        if (entry->name == QLatin1String("Projects")) {
            browser->openFolder(entry);
            break;
        }
    }
    settle();
    for (int level = 0; level < 8; ++level) {
        const QList<QVRemoteFileEntryPtr> entries = browser->fileListArray();
        const auto folder = std::find_if(entries.begin(), entries.end(), [](const auto &e) { return e->isFolder(); });
        if (folder == entries.end())
            break;
        browser->openFolder(*folder);
        settle();
    }
    grab("path-bar-overflow.png");

    // Three wrong passwords lock the protected folder.
    browser->chooseRoot(2, 0);
    settle();
    for (const char *wrong : {"111111", "222222", "333333"}) {
        browser->secureTextField()->setText(QString::fromLatin1(wrong));
        browser->confirmPwdBtnClick();
        settle();
        if (wrong[0] == '1')
            grab("browser-wrong-password.png");
    }
    spin(2600);
    grab("locked-folder.png");
    QVShareManager::setSharedShareManager(nullptr);
    return 0;
}
