#pragma once

#include <QJsonObject>
#include <QMetaType>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <optional>

// The update offer of the last version check, as the session model's
// versionInfoModel carries it.
struct QVNewVersionInfoModel {
    // The update is compulsory.
    bool isForce = false;
    // The newest version, compared with the program's own version.
    QString buildNumber;
    // Kept as the service sends them; nothing reads them.
    QString downloadUrl;
    QString releaseDate;
    QString softwareSize;

    // The offer from the check's "data" object. Numbers sent where texts are
    // expected become their text; a member of any other type reads empty.
    static QVNewVersionInfoModel fromJson(const QJsonObject &data);

    // The offer a session-model value holds; none for any other value.
    static std::optional<QVNewVersionInfoModel> fromVariant(const QVariant &value);
    QVariant toVariant() const;

    // Whether this offer is newer than the running program.
    bool checkNeedUpdate() const;
    // Whether `buildNumber` is newer than `appVersion`.
    static bool checkNeedUpdate(const QString &appVersion, const QString &buildNumber);
    // The offer a session-model value holds is newer than the running
    // program; no offer is never newer.
    static bool checkNeedUpdate(const QVariant &value);

    // Orders two versions the way people read them: runs of digits compare by
    // their value (1.10.0 comes after 1.9.0), every other character by
    // itself; a text that is the start of the other comes first. Negative,
    // 0 or positive.
    static int compareVersions(const QString &left, const QString &right);
};

Q_DECLARE_METATYPE(QVNewVersionInfoModel)

// The maker's download page for a new version, in the user's language: the
// Chinese page for simplified Chinese, the international one for everybody
// else. Empty while the program knows no web site.
namespace QVDownloadPage {

inline const QString kChinesePath = QStringLiteral("/cn/app/quavshare");
inline const QString kInternationalPath = QStringLiteral("/app/quavshare");

QUrl url();
// For a web site and a shown language ("zh-Hans", "zh-Hant", "en").
QUrl url(const QString &webSite, const QString &showLanguage);
// Opens the page in the desktop's browser; logs and does nothing without one.
void open(const char *caller);

} // namespace QVDownloadPage
