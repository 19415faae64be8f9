#pragma once

#include "BaseViewController/View/QVBackgrounView.h"
#include "Main/ViewController/DownLoadSelectFile/QVRemoteFileModels.h"

#include <QCache>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>

class QLabel;
class QNetworkAccessManager;
class QVBaseImageView;

// Fits a thumbnail into a square of the item: the picture keeps its
// proportions, fills the whole size, centred, cut at the overflowing sides.
// A picture without width or height gives a null image.
QImage QVFitThumbnail(const QImage &source, const QSize &size);

// Loads the thumbnails of the browser's pictures from the device and keeps
// the decoded ones in memory. Pictures come from the network, so decoding
// is bounded in memory and a picture that does not decode is no picture.
class QVThumbnailLoader : public QObject
{
    Q_OBJECT
public:
    // Most memory one decoded thumbnail may take.
    static constexpr int AllocationLimitMB = 64;
    static constexpr int CacheImages = 200;

    explicit QVThumbnailLoader(QObject *parent = nullptr);

    // Calls `done` with the picture (at once when it is cached), or not at
    // all when it cannot be had; never after `context` has gone.
    void load(const QUrl &url, QObject *context, std::function<void(const QImage &)> done);
    bool isCached(const QUrl &url) const { return m_cache.contains(url); }

private:
    QNetworkAccessManager *m_manager = nullptr;
    QCache<QUrl, QImage> m_cache;
};

// The line above every group of the root menu but the first.
class QVDownLoadFileMenuHeaderView : public QVBackgrounView
{
    Q_OBJECT
public:
    static constexpr int Height = 15;
    explicit QVDownLoadFileMenuHeaderView(QWidget *parent = nullptr);
    QVBackgrounView *splitLineView() const { return m_splitLineView; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QVBackgrounView *m_splitLineView = nullptr;
};

// One root of the menu: its icon, its title (with the whole title as a tip
// when it is cut) and the mark of the selected root.
class QVDownLoadFileMenuListItem : public QWidget
{
    Q_OBJECT
public:
    static constexpr int Height = 30;
    explicit QVDownLoadFileMenuListItem(QWidget *parent = nullptr);

    void setMenuModel(const QVRootMenuListModel &model);
    QVRootMenuListModel menuModel() const { return m_menuModel; }
    void setSelected(bool selected);
    bool isSelected() const;

    QLabel *titleLabel() const { return m_titleLabel; }
    std::function<void()> clicked;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QVBackgrounView *m_selectImageView = nullptr;
    QLabel *m_headIconImageView = nullptr;
    QLabel *m_titleLabel = nullptr;
    QVRootMenuListModel m_menuModel;
    QString m_title;
};

// What the grid and the list items share: the entry, its icon or
// thumbnail, and the clicks. The first click of a double click also
// arrives as a single click.
class QVDownLoadFileListItem : public QWidget
{
    Q_OBJECT
public:
    std::function<void(const QVRemoteFileEntryPtr &)> singleClick;
    std::function<void(const QVRemoteFileEntryPtr &)> doubleClick;

    void setIsGlimraVersion(qint64 version) { m_isGlimraVersion = version; }
    void setThumbnailLoader(QVThumbnailLoader *loader) { m_loader = loader; }
    QVRemoteFileEntryPtr fileModel() const { return m_fileModel; }
    virtual void setFileModel(const QVRemoteFileEntryPtr &model);
    virtual void setPicked(bool picked) = 0;
    virtual bool isPicked() const = 0;
    // The picture shown (icon or thumbnail).
    QPixmap shownImage() const;
    bool showsThumbnail() const { return m_showsThumbnail; }

protected:
    explicit QVDownLoadFileListItem(QWidget *parent = nullptr);
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    virtual QLabel *imageView() const = 0;

private:
    void showImage(const QPixmap &image);

    QVRemoteFileEntryPtr m_fileModel;
    qint64 m_isGlimraVersion = 0;
    QPointer<QVThumbnailLoader> m_loader;
    bool m_showsThumbnail = false;
};

// A grid item, 120 x 120: the picture over a title of at most two lines
// (the whole name as a tip when it needs three or more), framed when picked.
class QVDownLoadFileListHorItem : public QVDownLoadFileListItem
{
    Q_OBJECT
public:
    static constexpr QSize Size{120, 120};
    explicit QVDownLoadFileListHorItem(QWidget *parent = nullptr);

    void setFileModel(const QVRemoteFileEntryPtr &model) override;
    void setPicked(bool picked) override;
    bool isPicked() const override;
    // How many lines the whole title takes at the label's width.
    qint64 getTitleLabelMaxLines() const;
    QLabel *titleLabel() const { return m_titleLabel; }

protected:
    QLabel *imageView() const override { return m_fileTypeImageView; }

private:
    QVBackgrounView *m_borderImageView = nullptr;
    QLabel *m_fileTypeImageView = nullptr;
    QLabel *m_titleLabel = nullptr;
};

// A list item, 738 x 65: the pick mark, the picture and the title on one
// line.
class QVDownLoadFileListVerItem : public QVDownLoadFileListItem
{
    Q_OBJECT
public:
    static constexpr QSize Size{738, 65};
    explicit QVDownLoadFileListVerItem(QWidget *parent = nullptr);

    void setFileModel(const QVRemoteFileEntryPtr &model) override;
    void setPicked(bool picked) override;
    bool isPicked() const override { return m_picked; }
    QLabel *titleLabel() const { return m_titleLabel; }

protected:
    QLabel *imageView() const override { return m_headImageView; }
    void resizeEvent(QResizeEvent *event) override;

private:
    QVBaseImageView *m_selectImageView = nullptr;
    QLabel *m_headImageView = nullptr;
    QLabel *m_titleLabel = nullptr;
    QVBackgrounView *m_line = nullptr;
    bool m_picked = false;
};
