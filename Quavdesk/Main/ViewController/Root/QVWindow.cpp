#include "Main/ViewController/Root/QVWindow.h"

#include "PublicManager/QVNotificationCenter.h"
#include "PublicManager/QVShareManager.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

QVWindowChrome::QVWindowChrome(const char *titleKey, const QSize &contentSize, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                          | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint)
    , m_titleKey(titleKey)
    , m_contentSize(contentSize)
    , m_layout(new QVBoxLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setWindowTitle(QCoreApplication::translate("Localizable", titleKey));
    // The pages are laid out for one size; the zoom button goes with it.
    setFixedSize(contentSize);
}

QVWindowChrome::~QVWindowChrome() = default;

void QVWindowChrome::setContentViewController(QWidget *controller)
{
    if (m_contentViewController == controller)
        return;
    if (QWidget *previous = m_contentViewController.data()) {
        m_layout->removeWidget(previous);
        previous->deleteLater();
    }
    m_contentViewController = controller;
    if (controller)
        m_layout->addWidget(controller);
}

void QVWindowChrome::setApplicationMenu(QMenu *menu)
{
    if (!menu)
        return;
    if (!m_menuBar) {
        m_menuBar = new QMenuBar(this);
        m_menuBar->setNativeMenuBar(false);
        m_layout->setMenuBar(m_menuBar);
    }
    m_menuBar->addMenu(menu);
    // The page area keeps its size; the window grows by the bar.
    setFixedSize(m_contentSize.width(), m_contentSize.height() + m_menuBar->sizeHint().height());
}

void QVWindowChrome::makeKeyAndOrderFront()
{
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void QVWindowChrome::orderOut()
{
    hide();
}

void QVWindowChrome::closeClick()
{
    closeAction();
    orderOut();
}

void QVWindowChrome::minClick()
{
    showMinimized();
}

void QVWindowChrome::closeEvent(QCloseEvent *event)
{
    // Only the close button closes the program's windows, and it only hides
    // them: the window keeps its pages for the next time.
    event->ignore();
    closeClick();
}

QVWindow::QVWindow(QWidget *parent)
    : QVWindowChrome(QT_TRANSLATE_NOOP("Localizable", "app_name"), ContentSize, parent)
{
    setObjectName(QStringLiteral("QVWindow"));
}

void QVWindow::closeAction()
{
    QVShareManager *manager = QVShareManager::sharedShareManager();
    if (manager && manager->connectStatus())
        manager->disconnectWithDevice();
}

void QVWindow::orderOut()
{
    if (m_hidesOnClose)
        QVWindowChrome::orderOut();
    else
        showMinimized();
}

QVSettingWindow::QVSettingWindow(QWidget *parent)
    : QVWindowChrome(QT_TRANSLATE_NOOP("Localizable", "setting_title"), ContentSize, parent)
{
    setObjectName(QStringLiteral("QVSettingWindow"));
}

void QVSettingWindow::closeAction()
{
    QVNotificationCenter::defaultCenter()->postNotificationName(
        QVNotificationName::MainSettingBtnClick, {{QVNotificationName::OpenStatusKey, QStringLiteral("0")}});
}

QVDownLoadWindow::QVDownLoadWindow(QWidget *parent)
    : QVWindowChrome(QT_TRANSLATE_NOOP("Localizable", "setting_title"), ContentSize, parent)
{
    setObjectName(QStringLiteral("QVDownLoadWindow"));
}

void QVDownLoadWindow::closeAction()
{
    QVNotificationCenter::defaultCenter()->postNotificationName(
        QVNotificationName::MainDownLoadFileBtnClick, {{QVNotificationName::OpenStatusKey, QStringLiteral("0")}});
}
