#pragma once

#include "BaseViewController/View/QVBaseViewController.h"

#include <QList>
#include <QPointer>
#include <QStringList>

#include <memory>

namespace Platform {
class RemoteInputConsent;
}

class QLabel;
class QVBackgrounView;
class QVKVOModel;
class QVSettingSwitch;

// One row of the settings list: a white card with the row's title, a line
// under it (the about row's news of a new version, or what a switch does)
// and either an arrow to the row's page or a switch.
class QVSettingListCellView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int RowHeight = 75;

    explicit QVSettingListCellView(QWidget *parent = nullptr);

    QVBackgrounView *bgView() const { return m_bgView; }
    QLabel *titleLabel() const { return m_titleLabel; }
    QLabel *describeLabel() const { return m_describeLabel; }
    // Null until setHasSwitch(true).
    QVSettingSwitch *accessorySwitch() const { return m_switch; }
    void setHasSwitch(bool hasSwitch);

    void setTitle(const QString &title);
    // An empty text leaves the title alone in the middle of the row.
    void setDescribe(const QString &text, const QColor &color);

signals:
    // A click on the row outside its switch.
    void clicked();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void layoutContent();

    QVBackgrounView *m_bgView = nullptr;
    QLabel *m_titleLabel = nullptr;
    QLabel *m_describeLabel = nullptr;
    QLabel *m_nextLabel = nullptr;
    QVSettingSwitch *m_switch = nullptr;
    bool m_pressed = false;
};

// The settings window's first page: the download folder, feedback and
// about, each opening its page in the settings window, and whether
// receivers may drive this computer's mouse and keyboard during casts (a
// switch that takes effect at once, also during a cast). The about row
// tells when a newer version exists. The page is reused by every settings
// window of the process.
class QVSettingViewController : public QVBaseViewController
{
    Q_OBJECT
public:
    enum Row { DownLoadFilePathRow = 0, FeedbackRow = 1, AboutRow = 2, RemoteControlRow = 3 };

    static inline const QString ClassName = QStringLiteral("QVSettingViewController");
    static inline const QString DownLoadFilePathPage = QStringLiteral("QVDownLoadFilePathSettingVC");
    static inline const QString FeedbackPage = QStringLiteral("QVFeedbackViewController");
    static inline const QString AboutPage = QStringLiteral("QVAboutViewController");

    explicit QVSettingViewController(QWidget *parent = nullptr);
    ~QVSettingViewController() override;

    QLabel *appNameLabel() const { return m_appNameLabel; }
    QLabel *titleLabel() const { return m_titleLabel; }
    // The rows' titles, in order.
    QStringList itemArray() const { return m_itemArray; }
    QList<QVSettingListCellView *> cells() const { return m_cells; }
    QVSettingSwitch *remoteControlSwitch() const;

    // The row's page in the settings window; the switch row flips its switch.
    // A page that the program does not have yet is not asked for: the list
    // stays and the log says so.
    void tableViewCellClick(int row);
    // Brings the rows up to date: the about row's news, the switch's state.
    void reloadData();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void baseSetting();
    void tableViewSetting();
    void addKVOObserver();
    void remoteControlSwitchToggled(bool given);

    QLabel *m_appNameLabel = nullptr;
    QLabel *m_titleLabel = nullptr;
    QVBackgrounView *m_bgView = nullptr;
    QWidget *m_tableView = nullptr;
    QStringList m_itemArray;
    QList<QVSettingListCellView *> m_cells;
    QPointer<QVKVOModel> m_observedModel;
    // The same answer the casting library reads before it injects a
    // receiver's input, so a change holds from the next event on.
    std::shared_ptr<Platform::RemoteInputConsent> m_remoteInputConsent;
};
