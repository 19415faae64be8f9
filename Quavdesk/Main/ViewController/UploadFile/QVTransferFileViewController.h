#pragma once

#include <functional>
#include <memory>

#include "Main/ViewController/TransferFile/QVTransferPageViewController.h"
#include "Main/ViewController/TransferFile/QVTransferRowDelegate.h"
#include "Main/ViewController/UploadFile/QVDraggingFileBgView.h"
#include "QVUploadEngine.h"

class QLabel;
class QVKVOModel;
class QVLoadingView;
template <class Model>
class QVTransferRows;

// What the upload page is made of; linuxDefaults() gives the uploader over
// the process's share manager and probe, and the share manager's observable
// model. Tests hand in their own.
struct QVTransferFileVCServices {
    QVUploadEngineServices engine;
    std::function<QVKVOModel *()> kvoModel;

    static QVTransferFileVCServices linuxDefaults();
};

// The upload page of the main window, opened from the casting screen's tile:
// local files dropped on its drop zone or chosen in the open panel upload to
// the receiver one after the other, in pieces the receiver asks for; one row
// per file. It is never cached: each visit makes a new page, and leaving
// stops whatever it was sending.
class QVTransferFileViewController : public QVTransferPageViewController, public QVDraggingFileBgViewDelegate
{
    Q_OBJECT
public:
    static inline const QString ClassName = QStringLiteral("QVTransferFileViewController");

    QVTransferFileViewController();
    explicit QVTransferFileViewController(QVTransferFileVCServices services, QWidget *parent = nullptr);
    ~QVTransferFileViewController() override;

    QVUploadEngine *engine() const { return m_engine.get(); }
    QVDraggingFileBgView *bodyView() const { return m_bodyView; }
    QWidget *headView() const { return m_headView; }
    QLabel *dragDescribeLabel() const { return m_dragDescribeLabel; }
    QVLoadingView *loadingView();
    bool tavlinDisconnect() const { return m_tavlinDisconnect; }
    // The row of a file; -1 when it has none.
    int rowOf(const QVUploadEngine::File &file) const;
    QVTransferRows<QVUploadFileModel> *rows() const { return m_rows; }

    void didReceiveFiles(const QList<QUrl> &files) override;
    // The open panel.
    void selectLocalFile();
    void addInitialDataWithArray(const QList<QUrl> &files);
    // NO: nothing added yet; YES: files are there.
    void setTransferStatus(bool transferring);
    void reloadTableView();
    void setNotEnoughSpaceAlert();
    // The leave alert: its left button cancels the piece in flight and leaves.
    void setCancelUploadAlert();
    void backToPreviousPage() override;

protected:
    bool noPromptAgain() const override;
    void setNoPromptAgain(bool value) override;
    bool deletesBeforeRemovingAlert() const override { return false; }
    AlertTexts networkDisconnectTexts() const override;
    void networkReconnection() override;
    void applyTransferFileBtnStyle(qint64 style) override;
    void transferFileBtnClick() override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void baseSetting();
    void onPartClicked(int row, QVTransferRowDelegate::Part part);
    void onAlert(QVUploadEngine::Alert alert);
    void onDisconnectDeviceType(qint64 type);
    void countsChanged();
    void hiddenLoadingView();

    QVTransferFileVCServices m_services;
    std::unique_ptr<QVUploadEngine> m_engine;
    QVTransferRows<QVUploadFileModel> *m_rows = nullptr;
    QWidget *m_headView = nullptr;
    QLabel *m_transferTitleLabel = nullptr;
    QLabel *m_transferToLabel = nullptr;
    QLabel *m_dragDescribeLabel = nullptr;
    QVDraggingFileBgView *m_bodyView = nullptr;
    QVLoadingView *m_loadingView = nullptr;
    bool m_tavlinDisconnect = false;
    bool m_kvoIsRemoved = false;
    bool m_leaving = false;
    bool m_reloadPending = false;
    QList<QMetaObject::Connection> m_observers;
};
