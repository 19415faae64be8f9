#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QVariantAnimation;
class QVShowTipsView;
class QWidget;

// How long the tip banner takes, in milliseconds. Production values are the
// defaults; tests shorten them.
struct QVTipsTimings {
    int fadeInMs = 500;
    // Fully shown, counted from the end of the fade-in of the last message.
    int holdMs = 2000;
    // The fade-out takes the animator's usual time.
    int fadeOutMs = 250;
};

// The short coloured message at the top of a window's page area: green for
// good news (type 1), red for everything else. Pages that carry a banner of
// their own (a feedback page, the download window) use one of these too.
// Lives on the main thread.
class QVTipsBanner : public QObject
{
    Q_OBJECT
public:
    static constexpr int Width = 375;
    static constexpr int DefaultHeight = 50;
    static inline const QString GoodColor = QStringLiteral("0x4CAF50");
    static inline const QString BadColor = QStringLiteral("0xFF0000");
    enum Type : qint64 { TypeBad = 0, TypeGood = 1 };

    // The banner lies over `host`'s top edge, `height` high.
    explicit QVTipsBanner(QWidget *host, int height = DefaultHeight);
    ~QVTipsBanner() override;

    // Made on first use, invisible (opacity 0) and above the host's other
    // children. Clicks pass through it to the page below.
    QVShowTipsView *tipsView();

    void setTimings(const QVTipsTimings &timings) { m_timings = timings; }

    // Puts the text into the banner and shows it in the type's colour.
    void showTipsWithTitle(const QString &text, qint64 type);
    // Colours the banner by type and fades it in; it fades out after the
    // hold. A new message restarts the whole sequence, so it is shown for
    // the full hold, whatever was showing before.
    void showTipsViewWithType(qint64 type);
    // Fades the banner out.
    void hiddenTipsView();

    // What the banner shows now (0 invisible to 1 fully shown).
    double opacity() const;
    QString text() const;
    bool isHolding() const { return m_holdTimer.isActive(); }

signals:
    // Each message, as it starts to show.
    void tipsShown(const QString &text, qint64 type);
    // The banner has faded out completely.
    void tipsHidden();

private:
    void fadeTo(double opacity, int durationMs);

    QPointer<QWidget> m_host;
    int m_height;
    QVTipsTimings m_timings;
    QVShowTipsView *m_tipsView = nullptr;
    QVariantAnimation *m_animation = nullptr;
    double m_opacity = 0.0;
    QTimer m_holdTimer;
};
