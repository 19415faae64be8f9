#pragma once

#include <memory>

#include "Main/ViewController/TransferFile/QVTransferPageViewController.h"
#include "Main/ViewController/TransferFile/QVTransferRowDelegate.h"
#include "Platform/FileRevealer.h"
#include "QVDownloadEngine.h"

template <class Model>
class QVTransferRows;

// What the download page is made of; linuxDefaults() gives the downloader
// over the process's share manager, shared tools and probe, and the file
// manager of the process's platform services. Tests hand in their own.
struct QVDownLoadFileVCServices {
    QVDownloadEngineServices engine;
    std::shared_ptr<Platform::FileRevealer> revealer;

    static QVDownLoadFileVCServices linuxDefaults();
};

// The download queue page of the main window: the files the browser handed
// over (downLoadFileListArray, with the folder password downLoadFilePassWord
// of the shared tools) download one after the other into the download
// folder; one row per file. It enters the page cache as "QVDownLoadFileVC"
// and leaves it when it goes back to the casting screen (or the receiver
// list when that is gone).
class QVDownLoadFileVC : public QVTransferPageViewController
{
    Q_OBJECT
public:
    static inline const QString ClassName = QStringLiteral("QVDownLoadFileVC");

    QVDownLoadFileVC();
    explicit QVDownLoadFileVC(QVDownLoadFileVCServices services, QWidget *parent = nullptr);
    ~QVDownLoadFileVC() override;

    QVDownloadEngine *engine() const { return m_engine.get(); }
    // The row of a file; -1 when it has none.
    int rowOf(const QVDownloadEngine::File &file) const;
    QVTransferRows<QVDownLoadFileModel> *rows() const { return m_rows; }

    void reloadTableView();
    void singleDeleteWithModel(const QVDownloadEngine::File &file);
    void singleContinueWithModel(const QVDownloadEngine::File &file);
    void folderBtnClickWithModel(const QVDownloadEngine::File &file);
    // The leave alert: its left button stops the running file and leaves.
    void setCancelDownLoadAlertVC();
    void backToPreviousPage() override;

protected:
    bool noPromptAgain() const override;
    void setNoPromptAgain(bool value) override;
    AlertTexts networkDisconnectTexts() const override;
    void networkReconnection() override;
    void applyTransferFileBtnStyle(qint64 style) override;
    void transferFileBtnClick() override;

private:
    void baseSetting();
    void onPartClicked(int row, QVTransferRowDelegate::Part part);
    void onAlert(QVDownloadEngine::Alert alert);

    QVDownLoadFileVCServices m_services;
    std::unique_ptr<QVDownloadEngine> m_engine;
    QVTransferRows<QVDownLoadFileModel> *m_rows = nullptr;
    bool m_leaving = false;
    bool m_reloadPending = false;
};
