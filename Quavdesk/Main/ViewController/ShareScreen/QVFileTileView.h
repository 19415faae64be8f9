#pragma once

#include "BaseViewController/View/QVBackgrounView.h"

#include <QtGlobal>

#include <functional>
#include <optional>

class QLabel;

// One of the casting screen's two file tiles: a title and a description on a
// card that dims under the pointer and passes an accepted click to the block
// the casting screen set. The screen decides whether the tile is enabled
// (hoverState) and whether the receiver offers its function
// (supportFunction); the tile only honours the first.
class QVFileTileView : public QVBackgrounView
{
    Q_OBJECT
public:
    // Milliseconds on a clock that never steps back.
    using Clock = std::function<qint64()>;

    // A click within this time of the last accepted one is swallowed.
    static constexpr qint64 ClickGuardMs = 1000;
    static constexpr double HoverOpacity = 0.7;

    // The process's monotonic clock.
    static Clock monotonicClock();

    QLabel *titleLabel() const { return m_titleLabel; }
    QLabel *describeLabel() const { return m_describeLabel; }

    // When the last accepted click came, on the tile's clock; none at first.
    std::optional<qint64> lastClick() const { return m_lastClick; }
    // Hover dimming and clicks are honoured only while this is set.
    bool hoverState() const { return m_hoverState; }
    void setHoverState(bool enabled) { m_hoverState = enabled; }
    // The receiver offers the tile's function; kept for the casting screen.
    bool supportFunction() const { return m_supportFunction; }
    void setSupportFunction(bool supported) { m_supportFunction = supported; }

    void setClock(Clock clock) { m_clock = std::move(clock); }

protected:
    // The badge's arrow: up for what leaves this computer, down for what
    // comes to it.
    enum class Arrow { Up, Down };

    QVFileTileView(const char *titleKey, const char *describeKey, Arrow arrow, QWidget *parent);

    // A click on the tile. The guard counts every click it lets through, also
    // one on a disabled tile, so a burst of clicks on a tile that comes on
    // meanwhile still opens at most one thing.
    void acceptClick(const std::function<void()> &block);
    virtual void clicked() = 0;

    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QRectF badgeRect() const;

    Arrow m_arrow;
    QLabel *m_titleLabel = nullptr;
    QLabel *m_describeLabel = nullptr;
    std::optional<qint64> m_lastClick;
    bool m_hoverState = false;
    bool m_supportFunction = false;
    bool m_pressed = false;
    Clock m_clock;
};

// The tile that opens the upload page.
class QVTransferFileBgView : public QVFileTileView
{
    Q_OBJECT
public:
    explicit QVTransferFileBgView(QWidget *parent = nullptr);

    std::function<void()> transferFileBtnClick() const { return m_transferFileBtnClick; }
    void setTransferFileBtnClick(std::function<void()> block) { m_transferFileBtnClick = std::move(block); }

    // The tile's click control.
    void transferFileBtnClick(QObject *sender);

protected:
    void clicked() override { transferFileBtnClick(this); }

private:
    std::function<void()> m_transferFileBtnClick;
};

// The tile that opens the download window.
class QVDownLoadFileView : public QVFileTileView
{
    Q_OBJECT
public:
    explicit QVDownLoadFileView(QWidget *parent = nullptr);

    std::function<void()> downLoadFileBtnClick() const { return m_downLoadFileBtnClick; }
    void setDownLoadFileBtnClick(std::function<void()> block) { m_downLoadFileBtnClick = std::move(block); }

    // The tile's click control.
    void downLoadFileBtnClick(QObject *sender);

protected:
    void clicked() override { downLoadFileBtnClick(this); }

private:
    std::function<void()> m_downLoadFileBtnClick;
};
