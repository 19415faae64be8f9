#pragma once

#include <QWidget>

#include <functional>
#include <memory>

#include "Main/Model/QVUploadFileModel.h"
#include "Main/ViewController/TransferFile/QVTransferRowParts.h"

class QLabel;
class QVBaseButton;
class QVTransferProgressView;

// One row of the upload page ("transferFileListCellView"): the file's name
// and, by its status, the progress bar and delete (waiting, uploading), the
// done mark (done), continue and delete with the fail text (failed, missing,
// network lost), or the warning whose tip says why with delete (too large,
// name too long, format not supported).
class QVTransferFileListCellView : public QWidget
{
    Q_OBJECT
public:
    static inline const QString Identifier = QStringLiteral("transferFileListCellView");
    using Block = std::function<void(const std::shared_ptr<QVUploadFileModel> &file)>;

    explicit QVTransferFileListCellView(QWidget *parent = nullptr);

    std::shared_ptr<QVUploadFileModel> itemModel() const { return m_itemModel; }
    void setItemModel(const std::shared_ptr<QVUploadFileModel> &itemModel);
    // 0 to 1.
    void setProgress(float progress);
    float progress() const;

    void setContinueBtnClickBlock(Block block) { m_continueBtnClickBlock = std::move(block); }
    void setDeleteBtnClickBlock(Block block) { m_deleteBtnClickBlock = std::move(block); }

    QVTransferRowParts::NameLabel *titleLabel() const { return m_titleLabel; }
    QLabel *failLabel() const { return m_failLabel; }
    QVTransferProgressView *progressView() const { return m_progressView; }
    QVBaseButton *continueBtn() const { return m_continueBtn; }
    QLabel *doneBtn() const { return m_doneBtn; }
    QVBaseButton *deleteBtn() const { return m_deleteBtn; }
    QVBaseButton *overrunBtn() const { return m_overrunBtn; }

    // The warning's tip key for a status; empty for the others.
    static QString warningKey(qint64 status);

private:
    void call(const Block &block);

    std::shared_ptr<QVUploadFileModel> m_itemModel;
    QVTransferRowParts::NameLabel *m_titleLabel = nullptr;
    QLabel *m_failLabel = nullptr;
    QVTransferProgressView *m_progressView = nullptr;
    QVBaseButton *m_continueBtn = nullptr;
    QLabel *m_doneBtn = nullptr;
    QVBaseButton *m_deleteBtn = nullptr;
    QVBaseButton *m_overrunBtn = nullptr;
    Block m_continueBtnClickBlock;
    Block m_deleteBtnClickBlock;
};
