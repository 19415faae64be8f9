#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include "Main/ViewController/Setting/QVNewVersionInfoModel.h"

class QAbstractButton;
class QVBaseButton;
class QVForceUpgradeVC;
class QWidget;

// The receiver list's version check. It asks the maker's web service for the
// product's series, then for each series of this platform whether a newer
// version exists, and stores each offer as the session model's
// versionInfoModel (the settings list and the about page follow it). The
// list's settings button shows whether an update exists; a compulsory
// update lays the forced-upgrade dialog over the list.
//
// The receiver list calls checkForPage() when it has loaded and after each
// click on its settings button, and at no other time. Failures are silent:
// an answer that is not a success of the expected shape changes nothing,
// and no service address means no request.
class QVVersionCheck : public QObject
{
    Q_OBJECT
public:
    static inline const QString SettingImage = QStringLiteral("main_setting");
    static inline const QString SettingUpdateImage = QStringLiteral("main_setting_update");

    // The receiver list's entry: runs a check for `page` (the dialog's
    // parent) whose answers set `settingBtn`'s image. The page keeps one
    // check, made on the first call; the check goes with the page.
    static QVVersionCheck *checkForPage(QWidget *page, QVBaseButton *settingBtn);

    explicit QVVersionCheck(QWidget *page, QObject *parent = nullptr);
    ~QVVersionCheck() override;

    // Runs the whole check; each call is a check of its own.
    void getVersionSupportSeries();
    // The check for one series.
    void checkNewVersionWithSeriesId(qint64 seriesId);

    // The settings button's image after the last check that answered.
    QString settingImageName() const { return m_settingImageName; }

    // Lays the dialog over the page, made on first use; shown once however
    // often a check asks for it.
    void showForceUpgradeVC();
    QVForceUpgradeVC *forceUpgradeVC() const { return m_forceUpgradeVC.data(); }

signals:
    // After every answered check (also when the name stays the same).
    void settingImageNameChanged(const QString &imageName);
    // Each offer as it is stored.
    void versionChecked(const QVNewVersionInfoModel &model);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void handleVersionInfo(const QVNewVersionInfoModel &model);
    void setSettingImageName(const QString &imageName);

    QPointer<QWidget> m_page;
    QPointer<QVForceUpgradeVC> m_forceUpgradeVC;
    QString m_settingImageName = SettingImage;
};
