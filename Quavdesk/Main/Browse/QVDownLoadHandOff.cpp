#include "Main/Browse/QVDownLoadHandOff.h"

#include "PublicManager/QVNotificationCenter.h"
#include "PublicManager/QVPublicTools.h"

namespace QVDownLoadHandOff {

namespace {

// The window and the browser go later than the notice's handlers: what
// follows the notice still runs on live objects.
void closeWindow(const std::function<void()> &orderOut)
{
    QVNotificationCenter::defaultCenter()->postNotificationName(
        QVNotificationName::MainDownLoadFileBtnClick, {{QVNotificationName::OpenStatusKey, QStringLiteral("0")}});
    if (orderOut)
        orderOut();
}

} // namespace

bool checkIsSaveBookMark()
{
    QVPublicTools *tools = QVPublicTools::sharedPublicTools();
    const auto store = tools->userDefaults();
    return store && store->contains(QVPublicTools::DownLoadFilePathKey) && tools->downLoadFilePathIsReachable();
}

void toDownLoadFilePage(const QString &password, const QList<QVRemoteFileEntryPtr> &picked,
                        const std::function<void()> &orderOut)
{
    QVPublicTools *tools = QVPublicTools::sharedPublicTools();
    tools->setDownLoadFilePassWord(password);
    QVariantList handOver;
    handOver.reserve(picked.size());
    for (const QVRemoteFileEntryPtr &entry : picked)
        handOver.append(entry->handOver());
    tools->setDownLoadFileListArray(handOver);
    closeWindow(orderOut);
    const bool fromShare = tools->vcCacheDictionary().contains(ShareScreenClassName);
    QVNotificationCenter::defaultCenter()->postNotificationName(
        QVNotificationName::MainDownLoadFileList_Jump,
        {{QVNotificationName::JumpFromKey,
          fromShare ? QVNotificationName::JumpFromShare : QVNotificationName::JumpFromMain}});
}

void cancel(const std::function<void()> &orderOut)
{
    closeWindow(orderOut);
}

} // namespace QVDownLoadHandOff
