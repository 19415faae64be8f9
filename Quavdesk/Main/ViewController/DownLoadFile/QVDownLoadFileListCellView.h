#pragma once

#include "Main/ViewController/TransferFile/QVTransferRowDelegate.h"

// The rows of the download page ("downLoadFileListCellView"): the file's
// name, and by its status a progress bar (waiting, downloading), the folder
// button (done), the continue button and the fail text (failed, network
// lost) or the warning button whose tip says why (not on the device, empty,
// wrong folder password). The delete button is always there.
class QVDownLoadFileListCellView : public QVTransferRowDelegate
{
    Q_OBJECT
public:
    static inline const QString Identifier = QStringLiteral("downLoadFileListCellView");

    explicit QVDownLoadFileListCellView(QObject *parent = nullptr);

    Look lookFor(qint64 status) const override;
    // The warning's tip for a status; empty for the others.
    static QString warningKey(qint64 status);
};
