#pragma once

#include "Main/ViewController/Root/QVPageHost.h"
#include "Main/ViewController/Root/QVTipsBanner.h"

#include <QUrl>

#include "Main/Model/QVKVOModel.h"

class QAction;


// The main window's page host. It starts with the receiver list, puts the
// privacy item into the program's menu, and shows the session model's news
// (disconnects, full screen, cast answers, connect failures, missing files)
// in the tip banner.
class QVRootViewController : public QVPageHost, public QVRootViewControllerDelegate
{
    Q_OBJECT
public:
    static inline const QString FirstPage = QStringLiteral("QVMainViewController");
    // Appended to the maker's web site, then the language suffix.
    static inline const QString PrivacyPath = QStringLiteral("/privacymac");

    explicit QVRootViewController(QWidget *parent = nullptr);
    ~QVRootViewController() override;

    // Switches on the next turn of the event loop, so that a page may ask
    // from inside its own handlers.
    void showNextPageViewWithClassStr(const QString &classStr) override;

    // The privacy page on the maker's web site in the user's language;
    // empty while the program knows no web site.
    static QUrl privacyPolicyUrl();
    QAction *privacyPolicyAction() const { return m_privacyAction; }
    void clickAction();

    // On the next turn of the event loop: the text into the banner, shown in
    // the type's colour.
    void mainThreadRefrshTipsWithTitle(const QString &text, qint64 type);
    QVTipsBanner *tipsBanner() const { return m_tipsBanner; }

private:
    void addPrivacyPolicymenuItem();
    void addKVOObserver();
    void observeValueForKeyPath(const char *keyPath);

    QPointer<QVKVOModel> m_observedModel;
    QAction *m_privacyAction = nullptr;
    QVTipsBanner *m_tipsBanner = nullptr;
};
