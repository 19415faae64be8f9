#pragma once

#include <QPointer>
#include <QString>

#include <functional>

#include "BaseViewController/View/QVBaseViewController.h"

class QLabel;
class QVAlertSlot;
class QVBackgrounView;
class QVBaseButton;
class QVDefaultAlertController;
class QVNoPromptAlertController;
class QVTransferTableView;

// What the download and the upload page share: the blue panel with the
// program's name and a describing line, the table of 35-point rows, the
// bottom button whose meaning follows a style number (its tag is 100 +
// style), and the in-window alerts, one at a time: the delete confirmation
// with its "do not ask again" toggle, the device-busy and refusal alerts,
// and the network-lost alert with its reconnect. Each page gives its texts,
// its do-not-ask flag, its delete, its reconnect and its way out.
class QVTransferPageViewController : public QVBaseViewController
{
    Q_OBJECT
public:
    // The alert's text and, for two buttons, the left and right titles
    // (empty titles keep the alert's own).
    struct AlertTexts {
        QString text;
        QString leftTitle;
        QString rightTitle;
    };

    explicit QVTransferPageViewController(QWidget *parent = nullptr);

    QVBackgrounView *bgView() const { return m_bgView; }
    QLabel *appNameLabel() const { return m_appNameLabel; }
    QLabel *describeLabel() const { return m_describeLabel; }
    QVTransferTableView *tableView() const { return m_tableView; }
    QVBaseButton *transferFileBtn() const { return m_transferFileBtn; }

    // An alert is showing.
    bool checkShowingAlert() const;
    // The alert on show, when it is of that kind.
    QVDefaultAlertController *defaultAlertVC() const;
    QVNoPromptAlertController *noPromptAlertVC() const;
    void removeAlertVC();

    // The bottom button's style, applied on the next turn of the event loop.
    void refreshTransferFileBtnStyle(qint64 style);

    // The delete of a row: at once when the user said not to ask again,
    // otherwise after the confirmation's right button (which also keeps the
    // toggle's state for the rest of the process).
    void singleDeleteWithAction(const std::function<void()> &deleteNow);
    void setSingleDeleteAlert(const std::function<void()> &deleteNow);
    // One-button alerts for a device that is busy (230) or refuses (220).
    void setServerCUPLoadAlertVC();
    void setServerRejectUploadAlertVC();
    // The network-lost alert: the left button leaves the page, the right one
    // reconnects.
    void setNetworkReconnectAlert();
    // A one-button alert of the page's own.
    void showOneButtonAlert(const QString &text);
    // A two-button alert of the page's own (the leave alert).
    void showDefaultAlert(const AlertTexts &texts, std::function<void()> left, std::function<void()> right);

protected:
    // The page's do-not-ask flag (process-wide, never stored).
    virtual bool noPromptAgain() const = 0;
    virtual void setNoPromptAgain(bool value) = 0;
    // Delete, then remove the confirmation (download), or the other way
    // round (upload).
    virtual bool deletesBeforeRemovingAlert() const { return true; }
    // The delete confirmation's question, which says what the page's delete
    // removes.
    virtual QString deleteQuestion() const;
    virtual AlertTexts networkDisconnectTexts() const = 0;
    virtual void networkReconnection() = 0;
    virtual void backToPreviousPage() = 0;
    // Title and label for a style of the bottom button.
    virtual void applyTransferFileBtnStyle(qint64 style) = 0;
    virtual void transferFileBtnClick() = 0;

private:
    QVBackgrounView *m_bgView = nullptr;
    QLabel *m_appNameLabel = nullptr;
    QLabel *m_describeLabel = nullptr;
    QVTransferTableView *m_tableView = nullptr;
    QVBaseButton *m_transferFileBtn = nullptr;
    QVAlertSlot *m_alertSlot = nullptr;
};
