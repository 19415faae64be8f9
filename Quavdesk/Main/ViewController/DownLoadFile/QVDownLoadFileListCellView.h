#pragma once

#include <QWidget>

#include <functional>
#include <memory>

#include "Main/Model/QVDownLoadFileModel.h"
#include "Main/ViewController/TransferFile/QVTransferRowParts.h"

class QLabel;
class QProgressBar;
class QVBaseButton;

// One row of the download page ("downLoadFileListCellView"): the file's
// name, and by its status a progress bar (waiting, downloading), the folder
// button (done), the continue button and the fail text (failed, network
// lost) or the warning button whose tip says why (not on the device, empty,
// wrong folder password). The delete button is always there.
class QVDownLoadFileListCellView : public QWidget
{
    Q_OBJECT
public:
    static inline const QString Identifier = QStringLiteral("downLoadFileListCellView");
    using Block = std::function<void(const std::shared_ptr<QVDownLoadFileModel> &file)>;

    explicit QVDownLoadFileListCellView(QWidget *parent = nullptr);

    std::shared_ptr<QVDownLoadFileModel> itemModel() const { return m_itemModel; }
    // Shows the file as its status says.
    void setItemModel(const std::shared_ptr<QVDownLoadFileModel> &itemModel);
    // 0 to 1.
    void setProgress(float progress);

    void setContinueBtnClickBlock(Block block) { m_continueBtnClickBlock = std::move(block); }
    void setDeleteBtnClickBlock(Block block) { m_deleteBtnClickBlock = std::move(block); }
    void setFolderBtnClickBlock(Block block) { m_folderBtnClickBlock = std::move(block); }

    QVTransferRowParts::NameLabel *titleLabel() const { return m_titleLabel; }
    QLabel *failLabel() const { return m_failLabel; }
    QProgressBar *progressView() const { return m_progressView; }
    QVBaseButton *continueBtn() const { return m_continueBtn; }
    QVBaseButton *folderBtn() const { return m_folderBtn; }
    QVBaseButton *deleteBtn() const { return m_deleteBtn; }
    QVBaseButton *overrunBtn() const { return m_overrunBtn; }

    // The warning's tip for a status; empty for the others.
    static QString warningKey(qint64 status);

private:
    void call(const Block &block);

    std::shared_ptr<QVDownLoadFileModel> m_itemModel;
    QVTransferRowParts::NameLabel *m_titleLabel = nullptr;
    QLabel *m_failLabel = nullptr;
    QProgressBar *m_progressView = nullptr;
    QVBaseButton *m_continueBtn = nullptr;
    QVBaseButton *m_folderBtn = nullptr;
    QVBaseButton *m_deleteBtn = nullptr;
    QVBaseButton *m_overrunBtn = nullptr;
    Block m_continueBtnClickBlock;
    Block m_deleteBtnClickBlock;
    Block m_folderBtnClickBlock;
};
