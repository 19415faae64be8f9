#include "Main/ViewController/DownLoadSelectFile/QVDownLoadPanels.h"

#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVLoadingView.h"
#include "Main/ViewController/DownLoadSelectFile/QVBrowseLook.h"
#include "Main/ViewController/DownLoadSelectFile/QVEncryptPanelView.h"

#include <QLabel>

namespace {

QVBackgrounView *makePanel(QWidget *parent, const QString &objectName, const QList<const char *> &keys)
{
    auto *panel = new QVBackgrounView(parent);
    panel->setObjectName(objectName);
    panel->setBackgroundColor(Qt::white);
    panel->setIsBlockingEvents(true);
    int y = 150;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        auto *label = new QLabel(QVBrowseLook::localizable(keys.at(i)), panel);
        label->setObjectName(i == 0 ? QStringLiteral("title") : QStringLiteral("detail"));
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
        if (i == 0)
            QVBrowseLook::setLook(label, 15, QColor(0x33, 0x33, 0x33), true);
        else
            QVBrowseLook::setLook(label, 13, QColor(0x99, 0x99, 0x99));
        label->setProperty("top", y);
        y += 34;
    }
    panel->hide();
    return panel;
}

} // namespace

QVDownLoadPanels::QVDownLoadPanels(QVRemoteBrowser *browser, QWidget *host)
    : QObject(host), m_browser(browser), m_host(host)
{
    using Panel = QVRemoteBrowser::Panel;
    m_panels.at(Panel::NoData) = makePanel(host, QStringLiteral("noDataView"), {"downLoad_noData_title"});
    m_panels.at(Panel::Lock) =
        makePanel(host, QStringLiteral("lockView"), {"downLoad_lock_title", "downLoad_lock_detail"});
    m_panels.at(Panel::NetworkError) =
        makePanel(host, QStringLiteral("networkErrorView"), {"downLoad_networkErr_title"});
    m_panels.at(Panel::AllowTransfer) =
        makePanel(host, QStringLiteral("allowTransferView"), {"downLoad_allowTransfer_title"});
    m_encryptView = new QVEncryptPanelView(browser->protectedRoot(), host);
    m_panels.at(Panel::Encrypt) = m_encryptView;

    m_loadingView = new QVLoadingView(QRect(QPoint(0, 0), host->size()), host);
    m_loadingView->setObjectName(QStringLiteral("loadingView"));
    m_loadingView->setBackgroundColor(QColor(128, 128, 128));
    m_loadingView->setIsOpacity(true);
    m_loadingView->setOpacity(0.5);
    m_loadingView->hiddenLoadingView();

    connect(browser, &QVRemoteBrowser::panelsChanged, this, &QVDownLoadPanels::applyPanels);
    connect(browser, &QVRemoteBrowser::loadingChanged, this, &QVDownLoadPanels::applyLoading);
    applyPanels();
    applyLoading(browser->isLoading());
}

QVBackgrounView *QVDownLoadPanels::panel(QVRemoteBrowser::Panel panel) const
{
    return m_panels.at(panel);
}

bool QVDownLoadPanels::isLoading() const
{
    return m_loadingView->isVisibleTo(m_host);
}

void QVDownLoadPanels::applyPanels()
{
    for (int panel = 0; panel < QVRemoteBrowser::PanelCount; ++panel)
        m_panels.at(panel)->setVisible(m_browser->isPanelShown(QVRemoteBrowser::Panel(panel)));
    // The loading overlay stays above whatever panel came up.
    m_loadingView->raise();
}

void QVDownLoadPanels::applyLoading(bool loading)
{
    if (loading) {
        m_loadingView->raise();
        m_loadingView->showLoadingView();
    } else {
        m_loadingView->hiddenLoadingView();
    }
}

void QVDownLoadPanels::layOut(const QRect &listArea)
{
    for (QVBackgrounView *panel : m_panels) {
        panel->setGeometry(listArea);
        for (QLabel *label : panel->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
            const int top = label->property("top").toInt();
            if (top > 0)
                label->setGeometry(40, top * listArea.height() / 464, listArea.width() - 80, 30);
        }
    }
    m_loadingView->setGeometry(QRect(QPoint(0, 0), m_host->size()));
    m_loadingView->customLoadingView()->move((m_host->width() - 50) / 2, (m_host->height() - 50) / 2);
    m_loadingView->raise();
}
