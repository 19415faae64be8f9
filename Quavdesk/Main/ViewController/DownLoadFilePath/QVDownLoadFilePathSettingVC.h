#pragma once

#include "BaseViewController/View/QVBaseViewController.h"

#include <QUrl>

#include <functional>

class QLabel;
class QVBackgrounView;
class QVBaseButton;

// The settings page on which the user picks the folder downloads go to. It
// shows the folder kept in the settings (or a hint when none is kept, or it
// is gone) and changes it through the desktop's folder dialog; a cancelled
// dialog changes nothing, and a folder that is gone stays stored.
class QVDownLoadFilePathSettingVC : public QVBaseViewController
{
    Q_OBJECT
public:
    static inline const QString ClassName = QStringLiteral("QVDownLoadFilePathSettingVC");
    static inline const QString SettingListClassName = QStringLiteral("QVSettingViewController");

    // Asks the user for a folder, not modal; calls back with it, or with an
    // empty URL when the user cancels. Replaced by tests.
    using FolderChooser = std::function<void(QWidget *page, const QString &title, std::function<void(const QUrl &)>)>;
    static FolderChooser desktopFolderChooser();
    // Null puts the desktop's dialog back.
    static void setFolderChooser(FolderChooser chooser);
    // Asks through the chooser in force; the download window asks so too.
    static void chooseFolder(QWidget *page, std::function<void(const QUrl &)> done);

    explicit QVDownLoadFilePathSettingVC(QWidget *parent = nullptr);

    QLabel *appNameLabel() const { return m_appNameLabel; }
    QLabel *titleLabel() const { return m_titleLabel; }
    QVBackgrounView *filePathView() const { return m_filePathView; }
    QLabel *filePathLabel() const { return m_filePathLabel; }
    QVBaseButton *settingBtn() const { return m_settingBtn; }
    QVBaseButton *backBtn() const { return m_backBtn; }

    void backBtnClick();
    void settingBtnClick();
    // A folder is stored and can be written to.
    bool checkIsSaveBookMark() const;

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void baseSetting();
    void showStoredFolder();

    QLabel *m_appNameLabel = nullptr;
    QLabel *m_titleLabel = nullptr;
    QVBackgrounView *m_filePathView = nullptr;
    QLabel *m_filePathLabel = nullptr;
    QVBaseButton *m_settingBtn = nullptr;
    QVBaseButton *m_backBtn = nullptr;
};
