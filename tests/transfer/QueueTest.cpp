// The lists of the transfer pages: the observable list's notifications, the
// moves between the page's list, its work queue and its fail list, and the
// network check's one verdict per question.

#include <QRandomGenerator>
#include <QTimer>
#include <gtest/gtest.h>

#include "Main/Model/QVDownLoadFileModel.h"
#include "Main/Model/QVKVOMutableArray.h"
#include "QVTransferNetworkCheck.h"
#include "QVTransferQueue.h"
#include "TestSupport.h"

using File = std::shared_ptr<QVDownLoadFileModel>;
using Status = QVDownLoadFileModel::Status;

namespace {

QVTransferQueue<QVDownLoadFileModel> makeQueue()
{
    return QVTransferQueue<QVDownLoadFileModel>(&QVDownLoadFileModel::downLoadStatus,
                                                &QVDownLoadFileModel::setDownLoadStatus, Status::Downloading,
                                                Status::Done);
}

QList<File> files(int n)
{
    QList<File> list;
    for (int i = 0; i < n; ++i) {
        list << std::make_shared<QVDownLoadFileModel>();
        list.last()->setName(QString::number(i));
    }
    return list;
}

} // namespace

TEST(KVOMutableArray, EveryMutatorTellsTheCountOnceEvenWhenItStaysTheSame)
{
    QVKVOMutableArray<int> array;
    QList<quint64> told;
    QObject::connect(&array, &QVKVOMutableArrayBase::countChanged, [&](quint64 count) { told << count; });
    auto a = std::make_shared<int>(1);
    auto b = std::make_shared<int>(1);
    array.addObject(a);
    array.addObjectsFromArray({b, a, a});
    array.insertObject(b, 99);
    // Equal values are distinct elements; the same element goes everywhere.
    array.removeObject(a);
    EXPECT_EQ(array.mutableArray(), (QList<std::shared_ptr<int>>{b, b}));
    array.removeObject(a);
    array.removeObjectAtIndex(7);
    array.removeObjectAtIndex(0);
    array.insertObject(a, -3);
    EXPECT_EQ(array.firstObject(), a);
    EXPECT_EQ(array.objectAtIndex(5), nullptr);
    array.removeAllObjects();
    EXPECT_EQ(told, (QList<quint64>{1, 4, 5, 2, 2, 2, 1, 2, 0}));
    EXPECT_EQ(array.count(), 0u);
}

TEST(TransferQueue, ContinueMovesOnlyFailedFilesAndStartsOnlyAnIdleQueue)
{
    auto queue = makeQueue();
    const QList<File> f = files(4);
    queue.addFiles(f);
    // Results apply to the file named; a file not queued is left alone.
    EXPECT_TRUE(queue.setResult(f[0], Status::Downloading));
    EXPECT_TRUE(queue.isHead(f[0]));
    EXPECT_TRUE(queue.setResult(f[0], Status::Done));
    EXPECT_FALSE(queue.isFailed(f[0]));
    EXPECT_FALSE(queue.setResult(f[0], Status::Failed));
    EXPECT_EQ(f[0]->downLoadStatus(), Status::Done);
    EXPECT_TRUE(queue.setResult(f[2], Status::NotOnDevice));
    EXPECT_EQ(queue.workQueue().mutableArray(), (QList<File>{f[1], f[3]}));
    EXPECT_EQ(queue.fileFailArray().mutableArray(), (QList<File>{f[2]}));

    // A file still queued, or done, does not move; a failed one goes to the
    // end once, however often it is continued; it is started only when the
    // queue was idle.
    EXPECT_FALSE(queue.continueFile(f[1], Status::Waiting));
    EXPECT_FALSE(queue.continueFile(f[0], Status::Waiting));
    EXPECT_FALSE(queue.continueFile(f[2], Status::Waiting));
    EXPECT_FALSE(queue.continueFile(f[2], Status::Waiting));
    EXPECT_EQ(queue.workQueue().mutableArray(), (QList<File>{f[1], f[3], f[2]}));
    EXPECT_EQ(f[2]->downLoadStatus(), Status::Waiting);
    queue.moveQueueToFail(Status::NetworkLost);
    EXPECT_TRUE(queue.workQueue().isEmpty());
    EXPECT_EQ(queue.fileFailArray().mutableArray(), (QList<File>{f[1], f[3], f[2]}));
    EXPECT_TRUE(queue.continueFile(f[3], Status::Waiting));
    EXPECT_FALSE(queue.continueFile(f[1], Status::Waiting));

    // Back from the fail list: only the files of the status asked for.
    f[1]->setDownLoadStatus(Status::Failed);
    EXPECT_EQ(queue.moveFailToQueue(Status::NetworkLost, Status::Waiting), QList<File>{f[2]});
    EXPECT_EQ(queue.workQueue().mutableArray(), (QList<File>{f[3], f[1], f[2]}));
    EXPECT_TRUE(queue.invariantHolds());
    queue.removeFile(f[1]);
    EXPECT_FALSE(queue.contains(f[1]));
    EXPECT_TRUE(queue.invariantHolds());
}

TEST(TransferQueue, NoSequenceOfOperationsBreaksTheListsInvariant)
{
    QRandomGenerator random(1234);
    for (int round = 0; round < 200; ++round) {
        auto queue = makeQueue();
        const QList<File> f = files(6);
        queue.addFiles(f);
        for (int step = 0; step < 60; ++step) {
            const File &file = f[random.bounded(f.size())];
            const qint64 status = random.bounded(8);
            switch (random.bounded(5)) {
            case 0:
                queue.setResult(file, status);
                break;
            case 1:
                queue.continueFile(file, Status::Waiting);
                break;
            case 2:
                queue.moveQueueToFail(status);
                break;
            case 3:
                queue.moveFailToQueue(status, Status::Waiting);
                break;
            case 4:
                if (random.bounded(10) == 0)
                    queue.removeFile(file);
                break;
            }
            ASSERT_TRUE(queue.invariantHolds()) << "round " << round << " step " << step;
        }
    }
}

TEST(TransferNetworkCheck, OnlyTheLatestQuestionIsAnsweredAndOnlyOnce)
{
    QList<QVTransferNetworkCheck::Verdict> pending;
    QList<qint64> types;
    QVTransferNetworkCheck check(2, [&](qint64 type, QVTransferNetworkCheck::Verdict verdict) {
        types << type;
        pending << verdict;
    }, std::chrono::milliseconds(20));

    QList<bool> answers;
    check.check([&](bool up) { answers << up; });
    EXPECT_TRUE(check.isPending());
    EXPECT_TRUE(types.isEmpty());
    ASSERT_TRUE(TestSupport::waitFor([&] { return !pending.isEmpty(); }));
    // A newer question drops the older one's answer.
    check.probeNow([&](bool up) { answers << !up; });
    ASSERT_EQ(pending.size(), 2);
    pending[0](true);
    EXPECT_TRUE(answers.isEmpty());
    pending[1](false);
    pending[1](false);
    EXPECT_EQ(answers, QList<bool>{true});
    EXPECT_FALSE(check.isPending());
    EXPECT_EQ(types, (QList<qint64>{2, 2}));

    // Cancelled before the delay ends: no probe at all.
    check.check([&](bool) { answers << false; });
    check.cancel();
    TestSupport::spin(60); // past the delay, for a probe that must not come
    EXPECT_EQ(types.size(), 2);
    EXPECT_EQ(answers.size(), 1);
}
