#pragma once

#include <QList>
#include <QUrl>

#include "BaseViewController/View/QVBackgrounView.h"

// Told of the files dropped on the drop zone.
class QVDraggingFileBgViewDelegate
{
public:
    virtual ~QVDraggingFileBgViewDelegate() = default;
    virtual void didReceiveFiles(const QList<QUrl> &files) = 0;
};

// The upload page's drop zone: takes a drop of local files while
// allowDraggingFile is set (half transparent while a drag hovers) and hands
// on the regular files among them; folders, links, devices, pipes and items
// whose attributes cannot be read are passed over.
class QVDraggingFileBgView : public QVBackgrounView
{
    Q_OBJECT
public:
    explicit QVDraggingFileBgView(QWidget *parent = nullptr);

    bool allowDraggingFile() const { return m_allowDraggingFile; }
    void setAllowDraggingFile(bool value) { m_allowDraggingFile = value; }
    // The page may leave by itself on a disconnect.
    bool allowBack() const { return m_allowBack; }
    void setAllowBack(bool value) { m_allowBack = value; }
    void setDelegate(QVDraggingFileBgViewDelegate *delegate) { m_delegate = delegate; }

    // The paths among `urls` that are regular local files (not links).
    static QList<QUrl> regularFiles(const QList<QUrl> &urls);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void setLayerOpacity(double opacity);

    bool m_allowDraggingFile = false;
    bool m_allowBack = true;
    QVDraggingFileBgViewDelegate *m_delegate = nullptr;
};
