#pragma once

#include "Main/Browse/QVRemoteBrowser.h"

#include <QObject>
#include <QRect>

#include <array>

class QVBackgrounView;
class QVEncryptPanelView;
class QVLoadingView;
class QWidget;

// The browser's overlays over its listing: the four message panels (empty
// folder, locked by the device, no network, transfers not allowed), the
// password page, and the loading overlay over the whole right side. They
// show what the browser's state says.
class QVDownLoadPanels : public QObject
{
    Q_OBJECT
public:
    // The panels are made as children of `host`, the page's right side.
    QVDownLoadPanels(QVRemoteBrowser *browser, QWidget *host);

    QVBackgrounView *panel(QVRemoteBrowser::Panel panel) const;
    QVEncryptPanelView *encryptView() const { return m_encryptView; }
    QVLoadingView *loadingView() const { return m_loadingView; }
    bool isLoading() const;

    // The message panels and the password page cover `listArea`; the
    // loading overlay covers the host.
    void layOut(const QRect &listArea);

private:
    void applyPanels();
    void applyLoading(bool loading);

    QVRemoteBrowser *m_browser = nullptr;
    QWidget *m_host = nullptr;
    std::array<QVBackgrounView *, QVRemoteBrowser::PanelCount> m_panels{};
    QVEncryptPanelView *m_encryptView = nullptr;
    QVLoadingView *m_loadingView = nullptr;
};
