#include "Main/ViewController/UploadFile/QVDraggingFileBgView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGraphicsOpacityEffect>
#include <QMimeData>

#include <sys/stat.h>

#include "Categories/RVColor.h"
#include "PublicManager/QVLog.h"

QVDraggingFileBgView::QVDraggingFileBgView(QWidget *parent) : QVBackgrounView(parent)
{
    setAcceptDrops(true);
    setBackgroundColor(rv_colorWithHexString(QStringLiteral("0x3B60F6")));
    setIsRadius(true);
    setCornerRadius(6.0);
}

QList<QUrl> QVDraggingFileBgView::regularFiles(const QList<QUrl> &urls)
{
    QList<QUrl> files;
    for (const QUrl &url : urls) {
        if (!url.isLocalFile())
            continue;
        // The item itself, not what a link points at: a link is an alias.
        struct stat info {};
        if (::lstat(QFile::encodeName(url.toLocalFile()).constData(), &info) != 0) {
            QVLogInfo(QVLog::ContextDefault, QStringLiteral("drop: cannot read the attributes of %1").arg(url.toLocalFile()));
            continue;
        }
        if (S_ISREG(info.st_mode))
            files.append(url);
    }
    return files;
}

void QVDraggingFileBgView::setLayerOpacity(double opacity)
{
    if (opacity >= 1.0) {
        setGraphicsEffect(nullptr);
        return;
    }
    auto *effect = new QGraphicsOpacityEffect(this);
    effect->setOpacity(opacity);
    setGraphicsEffect(effect);
}

void QVDraggingFileBgView::dragEnterEvent(QDragEnterEvent *event)
{
    if (m_allowDraggingFile && event->mimeData()->hasUrls()) {
        setLayerOpacity(0.5);
        event->setDropAction(Qt::CopyAction);
        event->accept();
        return;
    }
    setLayerOpacity(1.0);
    event->ignore();
}

void QVDraggingFileBgView::dragLeaveEvent(QDragLeaveEvent *event)
{
    setLayerOpacity(1.0);
    event->accept();
}

void QVDraggingFileBgView::dropEvent(QDropEvent *event)
{
    setLayerOpacity(1.0);
    if (!m_allowDraggingFile) {
        event->ignore();
        return;
    }
    const QList<QUrl> files = regularFiles(event->mimeData()->urls());
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (!files.isEmpty() && m_delegate)
        m_delegate->didReceiveFiles(files);
}
