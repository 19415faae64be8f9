#pragma once

#include "Main/ViewController/TransferFile/QVTransferRowDelegate.h"

// The rows of the upload page ("transferFileListCellView"): the file's name
// and, by its status, the progress bar and delete (waiting, uploading), the
// done mark (done), continue and delete with the fail text (failed, missing,
// network lost), or the warning whose tip says why with delete (too large,
// name too long, format not supported).
class QVTransferFileListCellView : public QVTransferRowDelegate
{
    Q_OBJECT
public:
    static inline const QString Identifier = QStringLiteral("transferFileListCellView");

    explicit QVTransferFileListCellView(QObject *parent = nullptr);

    Look lookFor(qint64 status) const override;
    // The warning's tip key for a status; empty for the others.
    static QString warningKey(qint64 status);
};
