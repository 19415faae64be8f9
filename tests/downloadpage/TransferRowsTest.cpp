// The rows model of the transfer pages over a list of files: rows follow the
// list with insertions and removals only (a reset only when the order
// changes, which no page does), a row is told only when its status or its
// progress changed, and the file of a row is found by its file.

#include <QSignalSpy>
#include <gtest/gtest.h>

#include "Main/Model/QVDownLoadFileModel.h"
#include "Main/ViewController/TransferFile/QVTransferListModel.h"

namespace {

using File = std::shared_ptr<QVDownLoadFileModel>;

File file(const QString &name)
{
    auto made = std::make_shared<QVDownLoadFileModel>();
    made->setName(name);
    return made;
}

struct Rows {
    QVKVOMutableArray<QVDownLoadFileModel> list;
    QVTransferRows<QVDownLoadFileModel> model{
        list,
        {[](const QVDownLoadFileModel &each) { return each.name(); },
         [](const QVDownLoadFileModel &each) { return each.downLoadStatus(); },
         [](const QVDownLoadFileModel &, float reported) { return reported < 0 ? 0.0f : reported; }}};

    QStringList names() const
    {
        QStringList shown;
        for (int row = 0; row < model.rowCount(); ++row)
            shown << model.index(row, 0).data().toString();
        return shown;
    }
};

QList<QPair<int, int>> ranges(const QSignalSpy &spy)
{
    QList<QPair<int, int>> found;
    for (const QList<QVariant> &call : spy)
        found.append({call.at(1).toInt(), call.at(2).toInt()});
    return found;
}

} // namespace

TEST(TransferRows, FollowTheListWithInsertionsAndRemovalsOnly)
{
    Rows rows;
    QSignalSpy inserted(&rows.model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&rows.model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(&rows.model, &QAbstractItemModel::modelReset);
    QList<File> files;
    for (const char *name : {"a", "b", "c", "d", "e", "f"})
        files << file(QString::fromLatin1(name));
    rows.list.addObjectsFromArray(files);
    EXPECT_EQ(ranges(inserted), (QList<QPair<int, int>>{{0, 5}}));
    EXPECT_EQ(rows.names(), (QStringList{"a", "b", "c", "d", "e", "f"}));

    // Files leave anywhere: each run of neighbours goes in one removal.
    rows.list.removeObject(files.at(1));
    EXPECT_EQ(ranges(removed), (QList<QPair<int, int>>{{1, 1}}));
    rows.model.refresh();
    EXPECT_EQ(rows.model.rowOf(files.at(4)), 3);
    removed.clear();
    rows.list.removeObject(files.at(4));
    rows.list.removeObject(files.at(5));
    rows.list.addObject(file(QStringLiteral("g")));
    EXPECT_EQ(ranges(removed), (QList<QPair<int, int>>{{3, 3}, {3, 3}}));
    EXPECT_EQ(rows.names(), (QStringList{"a", "c", "d", "g"}));
    EXPECT_EQ(rows.model.rowOf(files.at(3)), 2);
    EXPECT_EQ(rows.model.rowOf(files.at(5)), -1);
    EXPECT_EQ(rows.model.fileAt(1), files.at(2));
    EXPECT_EQ(rows.model.fileAt(9), nullptr);
    EXPECT_EQ(reset.count(), 0);

    // Only a change of order shows the list anew.
    rows.list.insertObject(rows.list.objectAtIndex(3), 0);
    rows.list.removeObjectAtIndex(4);
    EXPECT_EQ(rows.names(), (QStringList{"g", "a", "c", "d"}));
    EXPECT_GE(reset.count(), 1);
    rows.list.removeAllObjects();
    EXPECT_EQ(rows.model.rowCount(), 0);
}

TEST(TransferRows, ARowIsToldOnlyWhenWhatItShowsChanged)
{
    Rows rows;
    QList<File> files = {file(QStringLiteral("a")), file(QStringLiteral("b")), file(QStringLiteral("c")),
                         file(QStringLiteral("d"))};
    rows.list.addObjectsFromArray(files);
    QSignalSpy changed(&rows.model, &QAbstractItemModel::dataChanged);
    const auto changedRows = [&] {
        QList<QPair<int, int>> found;
        for (const QList<QVariant> &call : changed)
            found.append({call.at(0).toModelIndex().row(), call.at(1).toModelIndex().row()});
        changed.clear();
        return found;
    };

    rows.model.refresh();
    EXPECT_TRUE(changedRows().isEmpty());
    // One row, then two neighbours: two notices.
    files.at(0)->setDownLoadStatus(QVDownLoadFileModel::Done);
    files.at(2)->setDownLoadStatus(QVDownLoadFileModel::Failed);
    EXPECT_EQ(rows.model.index(0, 0).data(QVTransferListModel::StatusRole).toLongLong(),
              QVDownLoadFileModel::Waiting);
    files.at(3)->setDownLoadStatus(QVDownLoadFileModel::Downloading);
    rows.model.refresh();
    EXPECT_EQ(changedRows(), (QList<QPair<int, int>>{{0, 0}, {2, 3}}));
    EXPECT_EQ(rows.model.index(0, 0).data(QVTransferListModel::StatusRole).toLongLong(), QVDownLoadFileModel::Done);

    // Progress tells its own row, for that role only; a new status forgets
    // it.
    rows.model.setReportedProgress(3, 0.25f);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.first().at(2).value<QList<int>>(), QList<int>{QVTransferListModel::ProgressRole});
    EXPECT_EQ(changedRows(), (QList<QPair<int, int>>{{3, 3}}));
    EXPECT_FLOAT_EQ(rows.model.index(3, 0).data(QVTransferListModel::ProgressRole).toFloat(), 0.25f);
    files.at(3)->setDownLoadStatus(QVDownLoadFileModel::Done);
    rows.model.refreshRow(3);
    EXPECT_EQ(changedRows(), (QList<QPair<int, int>>{{3, 3}}));
    EXPECT_FLOAT_EQ(rows.model.index(3, 0).data(QVTransferListModel::ProgressRole).toFloat(), 0.0f);
    rows.model.setReportedProgress(7, 0.5f);
    rows.model.refreshRow(-1);
    EXPECT_TRUE(changedRows().isEmpty());

    // A name is a tip shown as it is.
    files.at(0)->setName(QStringLiteral("<b>x</b>"));
    EXPECT_EQ(rows.model.index(0, 0).data(Qt::ToolTipRole).toString(), QStringLiteral("<qt>&lt;b&gt;x&lt;/b&gt;</qt>"));
}
