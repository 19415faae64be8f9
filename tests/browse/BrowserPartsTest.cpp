// The browser's parts that need no device: listing entries and their
// orders, the root menu from hostile answers, the path bar's folding, the
// thumbnail fitting, the titles the views draw, and the client's lock-out
// record.

#include "BaseViewController/View/QVBaseButton.h"
#include "Main/Browse/QVEncryptLockout.h"
#include "Main/Browse/QVRemoteFileModels.h"
#include "Main/Browse/QVRemoteFolderModel.h"
#include "Main/Browse/QVRootMenuModel.h"
#include "Main/Browse/QVSortAndLayout.h"
#include "Main/Browse/QVThumbnailLoader.h"
#include "Main/ViewController/DownLoadSelectFile/QVDownLoadFileListView.h"
#include "Main/ViewController/DownLoadSelectFile/QVDownLoadFileMenuView.h"
#include "Main/ViewController/DownLoadSelectFile/QVFilePathView.h"

#include "FakePlatform.h"

#include <QFontMetrics>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

QJsonValue json(const char *text)
{
    const QJsonDocument document = QJsonDocument::fromJson(text);
    return document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
}

QStringList names(const QList<QVRemoteFileEntryPtr> &entries)
{
    QStringList result;
    for (const QVRemoteFileEntryPtr &entry : entries)
        result.append(entry->name);
    return result;
}

} // namespace

TEST(BrowserPartsTest, ListingsSortByTimeAsNumbersAndByNameAsText)
{
    QList<QVRemoteFileEntryPtr> entries = QVRemoteFiles::entriesWithListing(json(R"([
        {"name": "old", "pinyinName": "b", "lastModifyTime": "999", "fileType": "PDF"},
        {"name": "new", "pinyinName": "a", "lastModifyTime": 1000, "fileType": "FOLDER"},
        {"name": "mid", "pinyinName": "C", "lastModifyTime": "999x"},
        "not an entry", 7, null
    ])")).entries;
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries.at(1)->lastModifyTime, QStringLiteral("1000"));
    EXPECT_TRUE(entries.at(1)->isFolder());
    EXPECT_EQ(entries.at(0)->handOver().value(QStringLiteral("fileType")).toString(), QStringLiteral("PDF"));

    // A shorter stamp is older, whatever its text says.
    QVSortAndLayout::sortEntries(entries, QVSortAndLayout::TimeAscending);
    EXPECT_EQ(names(entries).mid(0, 2), (QStringList{"old", "new"}));
    QVSortAndLayout::sortEntries(entries, QVSortAndLayout::TimeDescending);
    EXPECT_EQ(names(entries).last(2), (QStringList{"new", "old"}));
    // Names compare as plain, case-sensitive text.
    QVSortAndLayout::sortEntries(entries, QVSortAndLayout::NameAscending);
    EXPECT_EQ(names(entries), (QStringList{"mid", "new", "old"}));
    QVSortAndLayout::sortEntries(entries, QVSortAndLayout::NameDescending);
    EXPECT_EQ(names(entries), (QStringList{"old", "new", "mid"}));
    // Unknown orders leave it.
    QVSortAndLayout::sortEntries(entries, 7);
    EXPECT_EQ(names(entries), (QStringList{"old", "new", "mid"}));
    EXPECT_TRUE(QVRemoteFiles::entriesWithListing(json(R"({"a": 1})")).entries.isEmpty());
}

TEST(BrowserPartsTest, AListingKeepsItsFirstEntriesUpToTheLimitAndCountsTheRest)
{
    const QJsonValue content = json(R"([{"name": "a"}, 1, {"name": "b"}, {"name": "c"}, "x", {"name": "d"}])");
    const QVRemoteFiles::Listing all = QVRemoteFiles::entriesWithListing(content, 4);
    EXPECT_EQ(names(all.entries), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(all.notShown, 0);
    const QVRemoteFiles::Listing cut = QVRemoteFiles::entriesWithListing(content, 2);
    EXPECT_EQ(names(cut.entries), (QStringList{"a", "b"}));
    EXPECT_EQ(cut.notShown, 2);

    // The model: picks by identity, in picking order, files only; a new
    // listing starts with none.
    QVRemoteFolderModel model;
    model.setSortType(QVSortAndLayout::NameAscending);
    QVRemoteFiles::Listing listing = QVRemoteFiles::entriesWithListing(json(R"([
        {"name": "b", "pinyinName": "b"}, {"name": "dir", "pinyinName": "c", "fileType": "FOLDER"},
        {"name": "a", "pinyinName": "a"}])"));
    const QVRemoteFileEntryPtr b = listing.entries.at(0);
    const QVRemoteFileEntryPtr dir = listing.entries.at(1);
    model.setListing(listing);
    EXPECT_EQ(names(model.entries()), (QStringList{"a", "b", "dir"}));
    EXPECT_EQ(model.canSelectFileCount(), 2);
    EXPECT_FALSE(model.togglePick(dir));
    EXPECT_FALSE(model.togglePick(QVRemoteFiles::rootFolder("Root-Local", "Local")));
    EXPECT_TRUE(model.togglePick(b));
    EXPECT_TRUE(model.index(1).data(QVRemoteFolderModel::PickedRole).toBool());
    model.pickAllFiles();
    EXPECT_EQ(names(model.picked()), (QStringList{"a", "b"}));
    EXPECT_TRUE(model.checkIsAllSelect());
    model.setSortType(QVSortAndLayout::NameDescending);
    EXPECT_EQ(names(model.entries()), (QStringList{"dir", "b", "a"}));
    EXPECT_TRUE(model.isPicked(b));
    model.setListing(QVRemoteFiles::entriesWithListing(json(R"([{"name": "dir", "fileType": "FOLDER"}])")));
    EXPECT_TRUE(model.picked().isEmpty());
    EXPECT_TRUE(model.checkAllFolderTypes());
    EXPECT_FALSE(model.checkIsAllSelect());
}

TEST(BrowserPartsTest, RootGroupsSurviveMalformedAnswers)
{
    const QVRootMenuGroups groups = QVRemoteFiles::rootGroupsWithContent(json(R"({"rootGroup": [
        [{"rootKey": "Root-A", "name": "<b>A</b>", "needPwd": true}, {"name": "no key"}, 5],
        [],
        "not a group",
        [{"rootKey": "Root-B", "name": 12, "needPwd": "false"}]
    ]})"));
    ASSERT_EQ(groups.size(), 2);
    ASSERT_EQ(groups.at(0).size(), 1);
    EXPECT_EQ(groups.at(0).at(0).rootKey, QStringLiteral("Root-A"));
    EXPECT_EQ(groups.at(0).at(0).name, QStringLiteral("<b>A</b>"));
    EXPECT_TRUE(groups.at(0).at(0).needPwd);
    EXPECT_TRUE(groups.at(0).at(0).isGlimraVersion);
    EXPECT_EQ(groups.at(1).at(0).name, QStringLiteral("12"));
    EXPECT_FALSE(groups.at(1).at(0).needPwd);

    for (const char *hostile : {R"({"rootGroup": []})", R"({"rootGroup": [[]]})", R"({"rootGroup": {}})",
                                R"({"other": 1})", R"([1, 2])"})
        EXPECT_TRUE(QVRemoteFiles::rootGroupsWithContent(json(hostile)).isEmpty()) << hostile;
    EXPECT_TRUE(QVRemoteFiles::rootGroupsWithContent(QJsonValue(QStringLiteral("text"))).isEmpty());

    const QVRootMenuGroups fixed = QVRemoteFiles::fixedRootGroups();
    ASSERT_EQ(fixed.size(), 2);
    EXPECT_EQ(fixed.at(0).size(), 3);
    EXPECT_EQ(fixed.at(1).at(1).rootKey, QStringLiteral("Root-Picture"));
    EXPECT_FALSE(fixed.at(1).at(1).isGlimraVersion);
}

TEST(BrowserPartsTest, PathBarShowsSevenLongFoldersAndFoldsEight)
{
    const QString longName = QStringLiteral("Quarterly reports and minutes");
    QStringList seven;
    for (int i = 0; i < 7; ++i)
        seven.append(longName + QString::number(i));
    const QVFilePathLayout fits = QVFilePathLayout::compute(seven);
    EXPECT_EQ(fits.shown, (QList<int>{0, 1, 2, 3, 4, 5, 6}));
    ASSERT_EQ(fits.pieces.size(), 13);
    EXPECT_EQ(fits.pieces.at(0).x, 0.0);
    EXPECT_EQ(fits.pieces.at(1).kind, QVFilePathLayout::Separator);
    EXPECT_DOUBLE_EQ(fits.pieces.at(1).x, fits.pieces.at(0).width + 7.0);
    EXPECT_DOUBLE_EQ(fits.pieces.at(2).x, fits.pieces.at(1).x + 15.0);
    EXPECT_LE(fits.pieces.last().x + fits.pieces.last().width, QVFilePathLayout::BarWidth);

    QStringList eight = seven;
    eight.append(longName + QStringLiteral("7"));
    const QVFilePathLayout folded = QVFilePathLayout::compute(eight);
    EXPECT_EQ(folded.shown, (QList<int>{0, 1, 6, 7}));
    QList<QVFilePathLayout::Kind> kinds;
    for (const auto &piece : folded.pieces)
        kinds.append(piece.kind);
    using K = QVFilePathLayout::Kind;
    EXPECT_EQ(kinds, (QList<K>{K::Button, K::Separator, K::Button, K::Separator, K::Ellipsis, K::Separator,
                               K::Button, K::Separator, K::Button}));
    EXPECT_DOUBLE_EQ(folded.pieces.at(5).x, folded.pieces.at(4).x + 27.0);
    EXPECT_DOUBLE_EQ(folded.pieces.at(6).x, folded.pieces.at(5).x + 15.0);
    EXPECT_TRUE(QVFilePathLayout::compute({}).pieces.isEmpty());
}

TEST(BrowserPartsTest, PathBarClicksNameTheFolderShownExceptTheOpenOne)
{
    QVFilePathView bar;
    bar.resize(660, 28);
    QList<QVRemoteFileEntryPtr> path;
    for (int i = 0; i < 8; ++i)
        path.append(QVRemoteFiles::rootFolder(QStringLiteral("Root/%1").arg(i), QStringLiteral("Folder number %1").arg(i)));
    QList<QVRemoteFileEntryPtr> clicked;
    bar.topFilePathClick = [&](const QVRemoteFileEntryPtr &folder) { clicked.append(folder); };
    bar.setFilePathArray(path);
    const QList<QVBaseButton *> buttons = bar.buttons();
    ASSERT_EQ(buttons.size(), 4);
    EXPECT_EQ(buttons.at(0)->text(), QStringLiteral("Fol..."));
    buttons.at(2)->click();
    buttons.at(3)->click();
    ASSERT_EQ(clicked.size(), 1);
    EXPECT_EQ(clicked.first(), path.at(6));
}

TEST(BrowserPartsTest, ThumbnailsFillTheirSquareCentredAndNothingFromEmptyPictures)
{
    QImage wide(200, 100, QImage::Format_ARGB32);
    wide.fill(Qt::red);
    // A blue band in the middle third: after the crop it fills the width.
    QPainter(&wide).fillRect(QRect(50, 0, 100, 100), Qt::blue);
    const QImage fitted = QVFitThumbnail(wide, QSize(64, 64));
    ASSERT_EQ(fitted.size(), QSize(64, 64));
    EXPECT_EQ(QColor(fitted.pixel(1, 32)), QColor(Qt::blue));
    EXPECT_EQ(QColor(fitted.pixel(62, 32)), QColor(Qt::blue));

    QImage tall(50, 200, QImage::Format_ARGB32);
    tall.fill(Qt::green);
    const QImage fittedTall = QVFitThumbnail(tall, QSize(64, 64));
    EXPECT_EQ(qAlpha(fittedTall.pixel(32, 0)), 255);
    EXPECT_EQ(qAlpha(fittedTall.pixel(0, 32)), 255);

    EXPECT_TRUE(QVFitThumbnail(QImage(), QSize(64, 64)).isNull());
    EXPECT_TRUE(QVFitThumbnail(QImage(0, 10, QImage::Format_ARGB32), QSize(64, 64)).isNull());
    EXPECT_TRUE(QVFitThumbnail(wide, QSize(0, 64)).isNull());
}

TEST(BrowserPartsTest, LongTitlesEndInAnEllipsisAndShowWholeInTheirTips)
{
    const QString root = QStringLiteral("Meeting recordings of the whole year");
    const int row = 170;
    const QString shown = QVDownLoadFileMenuDelegate::shownTitle(root, row);
    EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(root.startsWith(shown.chopped(1)));
    EXPECT_LE(QFontMetrics(QVDownLoadFileMenuDelegate::titleFont()).horizontalAdvance(shown),
              row - QVDownLoadFileMenuDelegate::TitleLeft - 8);
    EXPECT_EQ(QVDownLoadFileMenuDelegate::toolTipFor(root, row), root);
    // Wider, the same title fits: shown whole, no tip.
    EXPECT_EQ(QVDownLoadFileMenuDelegate::shownTitle(root, 600), root);
    EXPECT_TRUE(QVDownLoadFileMenuDelegate::toolTipFor(root, 600).isEmpty());

    // The grid: two lines at most, the second cut when the name needs more.
    qint64 lines = 0;
    EXPECT_EQ(QVDownLoadFileItemDelegate::gridTitleLines(QStringLiteral("notes.txt"), &lines),
              QStringList{"notes.txt"});
    EXPECT_EQ(lines, 1);
    const QString name = QStringLiteral("Quarterly report of the northern region with every appendix.pdf");
    const QStringList cut = QVDownLoadFileItemDelegate::gridTitleLines(name, &lines);
    EXPECT_GE(lines, 3);
    ASSERT_EQ(cut.size(), 2);
    EXPECT_TRUE(name.startsWith(cut.at(0)));
    EXPECT_TRUE(cut.at(1).endsWith(QChar(0x2026)));
    for (const QString &line : cut)
        EXPECT_LE(QFontMetrics(QVDownLoadFileItemDelegate::gridTitleFont()).horizontalAdvance(line),
                  QVDownLoadFileItemDelegate::gridTitleWidth());
    EXPECT_EQ(QVBrowseLook::plainToolTip(QStringLiteral("<b>a</b> & b")), QStringLiteral("<qt>&lt;b&gt;a&lt;/b&gt; &amp; b</qt>"));
}

TEST(BrowserPartsTest, RemainingLockTimeInHoursOrMinutes)
{
    const auto text = [](qint64 s) { return QVEncryptLockout::getTimeString(s); };
    EXPECT_EQ(text(43199), QStringLiteral("12base_string_time_hour"));
    EXPECT_EQ(text(3660), QStringLiteral("2base_string_time_hour"));
    EXPECT_EQ(text(3659), QStringLiteral("1base_string_time_hour"));
    EXPECT_EQ(text(3599), QStringLiteral("1base_string_time_hour"));
    EXPECT_EQ(text(61), QStringLiteral("2base_string_time_minute"));
    EXPECT_EQ(text(60), QStringLiteral("1base_string_time_minute"));
    EXPECT_EQ(text(0), QStringLiteral("0base_string_time_minute"));
    EXPECT_EQ(text(-61), QStringLiteral("-1base_string_time_minute"));
    EXPECT_EQ(text(-7200), QStringLiteral("-2base_string_time_hour"));
}

TEST(BrowserPartsTest, PasswordsKeepSixAsciiDigits)
{
    EXPECT_EQ(QVEncryptLockout::passwordDigits(QStringLiteral("a1b2c3d4e5f6g7h8")), QStringLiteral("123456"));
    EXPECT_EQ(QVEncryptLockout::passwordDigits(QStringLiteral("12 345")), QStringLiteral("12345"));
    // Digits of other scripts are not the device's digits.
    EXPECT_EQ(QVEncryptLockout::passwordDigits(QString::fromUtf8("\u0661\u0662\u0663123")), QStringLiteral("123"));
    EXPECT_EQ(QVEncryptLockout::passwordDigits(QString::fromUtf8("\uFF11\uFF12")), QString());
}

class LockoutTest : public ::testing::Test
{
protected:
    std::shared_ptr<Platform::Fake::FakeKeyValueStore> store = std::make_shared<Platform::Fake::FakeKeyValueStore>();
    QVEncryptLockout lockout{store};
    const QString device = QStringLiteral("http://127.0.0.9:8652");
    const QString other = QStringLiteral("http://127.0.0.9:8687");
    const qint64 t0 = 1700000000;
};

TEST_F(LockoutTest, ThreeFailuresInsideTwelveHoursLockForTwelveHours)
{
    // Nothing failed, nothing stored.
    EXPECT_FALSE(lockout.checkPwdFaildTimes(device, "Root-A", false, t0).locked);
    EXPECT_FALSE(store->contains(QVEncryptLockout::StoreKey));

    auto verdict = lockout.checkPwdFaildTimes(device, "Root-A", true, t0);
    EXPECT_EQ(verdict.triesLeft, 2);
    EXPECT_FALSE(verdict.locked);
    verdict = lockout.checkPwdFaildTimes(device, "Root-A", true, t0 + 100);
    EXPECT_EQ(verdict.triesLeft, 1);
    verdict = lockout.checkPwdFaildTimes(device, "Root-B", true, t0 + 43200);
    EXPECT_TRUE(verdict.locked);
    EXPECT_FALSE(verdict.triesLeft.has_value());
    EXPECT_EQ(verdict.remainingSeconds, 43199);
    const QJsonObject record = lockout.record(device);
    EXPECT_TRUE(record.value("isLock").toBool());
    EXPECT_EQ(record.value("lockTimestamp").toInteger(), t0 + 43200);
    EXPECT_EQ(record.value("faildPwdTimes").toArray().size(), 3);
    EXPECT_EQ(record.value("faildPwdTimes").toArray().at(0).toString(), QString::number(t0));

    // The lock covers every root of the address, counts nothing more, and
    // says how long it still holds.
    verdict = lockout.checkPwdFaildTimes(device, "Root-C", true, t0 + 43200 + 3600);
    EXPECT_TRUE(verdict.locked);
    EXPECT_EQ(verdict.remainingSeconds, 43200 - 3600);
    EXPECT_EQ(lockout.record(device).value("faildPwdTimes").toArray().size(), 3);
    // Another port of the same receiver keeps its own record.
    EXPECT_FALSE(lockout.checkPwdFaildTimes(other, "Root-A", false, t0 + 43200).locked);

    // 43,201 s on, the lock is over and counting starts again.
    verdict = lockout.checkPwdFaildTimes(device, "Root-A", true, t0 + 43200 + 43201);
    EXPECT_FALSE(verdict.locked);
    EXPECT_EQ(verdict.triesLeft, 2);
}

TEST_F(LockoutTest, SpreadFailuresDoNotLockAndAnAcceptedPasswordClearsThem)
{
    lockout.checkPwdFaildTimes(device, "Root-A", true, t0);
    lockout.checkPwdFaildTimes(device, "Root-A", true, t0 + 40000);
    const auto verdict = lockout.checkPwdFaildTimes(device, "Root-A", true, t0 + 43201);
    EXPECT_FALSE(verdict.locked);
    EXPECT_EQ(verdict.triesLeft, 1);

    lockout.savePassWord(device, "Root-A", "123456");
    EXPECT_EQ(lockout.record(device).value("faildPwdTimes").toArray().size(), 0);
    EXPECT_EQ(lockout.getPassWord(device, "Root-A"), QStringLiteral("123456"));
    EXPECT_EQ(lockout.getPassWord(device, "Root-B"), QStringLiteral(""));
    EXPECT_EQ(lockout.getPassWord(other, "Root-A"), QStringLiteral(""));
    EXPECT_EQ(lockout.checkPwdFaildTimes(device, "Root-A", true, t0 + 43300).triesLeft, 2);
}

TEST_F(LockoutTest, AFailureOnAnotherRootLeavesTheRememberedPasswordWithItsRoot)
{
    lockout.savePassWord(device, "Root-A", "123456");
    lockout.checkPwdFaildTimes(device, "Root-B", true, t0);
    EXPECT_EQ(lockout.getPassWord(device, "Root-A"), QStringLiteral("123456"));
    EXPECT_EQ(lockout.getPassWord(device, "Root-B"), QStringLiteral(""));
}

TEST_F(LockoutTest, AClockSetBackNeverMakesALockLongerThanTwelveHours)
{
    for (int i = 0; i < 3; ++i)
        lockout.checkPwdFaildTimes(device, "Root-A", true, t0 + i);
    ASSERT_TRUE(lockout.record(device).value("isLock").toBool());
    // The wall clock goes back a day: the lock counts from now, not from
    // the future.
    const qint64 back = t0 - 86400;
    auto verdict = lockout.checkPwdFaildTimes(device, "Root-A", false, back);
    EXPECT_TRUE(verdict.locked);
    EXPECT_EQ(verdict.remainingSeconds, 43200);
    EXPECT_EQ(lockout.record(device).value("lockTimestamp").toInteger(), back);
    verdict = lockout.checkPwdFaildTimes(device, "Root-A", false, back + 43201);
    EXPECT_FALSE(verdict.locked);

    // Failures stamped in the future count as now, and age from there.
    store->setValue(QVEncryptLockout::StoreKey,
                    QStringLiteral(R"({"%1": {"isLock": false, "lockTimestamp": 0, "passWord": "",
                                   "faildPwdTimes": ["%2", "%2"], "rootKey": "Root-A"}})")
                        .arg(device)
                        .arg(t0 + 999999));
    EXPECT_EQ(lockout.checkPwdFaildTimes(device, "Root-A", false, t0 + 43201).triesLeft, std::nullopt);
    EXPECT_EQ(lockout.record(device).value("faildPwdTimes").toArray().at(0).toString(), QString::number(t0 + 43201));

    // A record that is not JSON, or of the wrong shape, is no record.
    store->setValue(QVEncryptLockout::StoreKey, QStringLiteral("[garbage"));
    EXPECT_FALSE(lockout.checkPwdFaildTimes(device, "Root-A", false, t0).locked);
    EXPECT_FALSE(lockout.endLock(device, "Root-A"));
}

TEST_F(LockoutTest, TheLockIsReadFromTheRecordEachTime)
{
    EXPECT_FALSE(lockout.lockState(device, t0).hasRecord);
    for (int i = 0; i < 3; ++i)
        lockout.checkPwdFaildTimes(device, "Root-A", true, t0);
    auto state = lockout.lockState(device, t0 + 100);
    EXPECT_TRUE(state.locked);
    EXPECT_EQ(state.remainingSeconds, 43100);
    state = lockout.lockState(device, t0 + 43201);
    EXPECT_FALSE(state.locked);
    EXPECT_TRUE(state.expired);
    // A lock in the future counts from now, and is stored so.
    state = lockout.lockState(device, t0 - 50);
    EXPECT_TRUE(state.locked);
    EXPECT_EQ(state.remainingSeconds, 43200);
    EXPECT_EQ(lockout.record(device).value("lockTimestamp").toInteger(), t0 - 50);
    // An accepted password ends any lock.
    lockout.savePassWord(device, "Root-A", "123456");
    state = lockout.lockState(device, t0);
    EXPECT_TRUE(state.hasRecord);
    EXPECT_FALSE(state.locked);
    EXPECT_FALSE(state.expired);
}
