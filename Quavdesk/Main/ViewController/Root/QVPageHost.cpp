#include "Main/ViewController/Root/QVPageHost.h"

#include "PublicManager/QVLog.h"
#include "PublicManager/QVPageRegistry.h"
#include "PublicManager/QVPublicTools.h"

#include <QEvent>
#include <QVBoxLayout>

namespace {

QVPageCache &pageCache()
{
    return QVPublicTools::sharedPublicTools()->vcCacheDictionary();
}

} // namespace

QVPageHost::QVPageHost(QWidget *parent)
    : QVBaseViewController(parent)
    , m_bgView(new QWidget(this))
{
    m_bgView->setObjectName(QStringLiteral("bgView"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_bgView);
    m_bgView->installEventFilter(this);
}

QVPageHost::~QVPageHost()
{
    // A cached page outlives the window that shows it, unless a newer window
    // has taken it over already.
    QWidget *page = m_currentViewController.data();
    if (page && page->parentWidget() == m_bgView && pageCache().holds(page)) {
        page->hide();
        page->setParent(nullptr);
    }
}

void QVPageHost::takeOut(QWidget *page)
{
    // A cached page that another host shows by now is that host's.
    if (page->parentWidget() != m_bgView)
        return;
    page->hide();
    page->setParent(nullptr);
    if (!pageCache().holds(page))
        page->deleteLater();
}

void QVPageHost::switchToPage(const QString &classStr)
{
    if (QWidget *current = m_currentViewController.data()) {
        m_currentViewController = nullptr;
        takeOut(current);
    }

    QVPageCache &cache = pageCache();
    QWidget *page = nullptr;
    if (cache.contains(classStr))
        page = qobject_cast<QWidget *>(cache.value(classStr));
    else
        page = QVPageRegistry::shared().makePage(classStr);
    if (!page) {
        QVLogInfo(0, QStringLiteral("No page is named %1; the window shows none").arg(classStr));
        emit pageSwitched(classStr, nullptr);
        return;
    }

    page->setParent(m_bgView);
    page->setGeometry(0, 0, m_bgView->width(), m_bgView->height());
    page->show();
    m_currentViewController = page;
    emit pageSwitched(classStr, page);
}

bool QVPageHost::eventFilter(QObject *watched, QEvent *event)
{
    // The page keeps filling the area when the window is resized.
    if (watched == m_bgView && event->type() == QEvent::Resize) {
        if (QWidget *page = m_currentViewController.data())
            page->setGeometry(0, 0, m_bgView->width(), m_bgView->height());
    }
    return QVBaseViewController::eventFilter(watched, event);
}

QVSettingRootViewController::QVSettingRootViewController(QWidget *parent)
    : QVPageHost(parent)
{
    setObjectName(QStringLiteral("QVSettingRootViewController"));
    QVPublicTools::sharedPublicTools()->setShowSettingRootNextViewDelegate(this);
    showSettingNextPageViewWithClassStr(FirstPage);
}

void QVSettingRootViewController::showSettingNextPageViewWithClassStr(const QString &classStr)
{
    switchToPage(classStr);
}

QVDownLoadFileRootVC::QVDownLoadFileRootVC(QWidget *parent)
    : QVPageHost(parent)
{
    setObjectName(QStringLiteral("QVDownLoadFileRootVC"));
    QVPublicTools::sharedPublicTools()->setShowDownLoadFileRootNextViewDelegate(this);
    showSettingNextPageViewWithClassStr(FirstPage);
}

void QVDownLoadFileRootVC::showSettingNextPageViewWithClassStr(const QString &classStr)
{
    switchToPage(classStr);
}
