#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

#include "Main/Model/QVStorageModel.h"
#include "QVPageCache.h"
#include "QVPageHostDelegates.h"
#include "Platform/InterfaceAddresses.h"
#include "Platform/KeyValueStore.h"
#include "Platform/PlatformServices.h"

// What the shared tools read from outside. fromPlatform() gives the
// program's settings store and the machine's interfaces from the platform
// services, the shared share manager's file-share address and the user's
// languages; tests hand in their own.
struct QVPublicToolsServices {
    std::shared_ptr<Platform::KeyValueStore> store;
    std::shared_ptr<Platform::InterfaceAddresses> interfaceAddresses;
    std::function<QString()> fileShareIp;
    std::function<QStringList()> preferredLanguages;

    static QVPublicToolsServices fromPlatform(const Platform::PlatformServices &platform);
};

// State that pages of different windows share, and the helpers they use:
// remembered connections per receiver, device and program information, the
// file helpers behind the file-share headers, the icon and title tables and
// the download folder. Lives on the main thread, except that
// getLocalFileMd5() may run anywhere.
class QVPublicTools
{
public:
    // Settings keys.
    static inline const QString ConnectStorageModelKey = QStringLiteral("Connect_StorageModel");
    static inline const QString ConnectTransferFileCodeKey = QStringLiteral("Connect_TransferFile_Code");
    static inline const QString DeviceUdidKey = QStringLiteral("device_udid");
    static inline const QString DownLoadFilePathKey = QStringLiteral("DownLoadFilePath_BookMark");

    // Most bytes one upload piece carries.
    static constexpr qint64 UploadPieceBytes = 104857600;

    // The process's instance over the program's platform services
    // (QVPlatform), made on first use.
    static QVPublicTools *sharedPublicTools();

    explicit QVPublicTools(QVPublicToolsServices services);
    QVPublicTools(const QVPublicTools &) = delete;
    QVPublicTools &operator=(const QVPublicTools &) = delete;

    // Shared page state; never stored.
    bool alert_uploadFile_noPromptAgain() const { return m_alert_uploadFile_noPromptAgain; }
    void setAlert_uploadFile_noPromptAgain(bool value) { m_alert_uploadFile_noPromptAgain = value; }
    bool alert_downLoadFile_noPromptAgain() const { return m_alert_downLoadFile_noPromptAgain; }
    void setAlert_downLoadFile_noPromptAgain(bool value) { m_alert_downLoadFile_noPromptAgain = value; }
    bool isInToUploadFilePage() const { return m_isInToUploadFilePage; }
    void setIsInToUploadFilePage(bool value) { m_isInToUploadFilePage = value; }

    // The page cache: a page's class name to the live page.
    QVPageCache &vcCacheDictionary() { return m_vcCacheDictionary; }

    // The page hosts of the three windows; each host registers itself as it
    // is made. Null once the host has gone.
    QVRootViewControllerDelegate *showNextViewDelegate() const { return m_showNextViewDelegate.get(); }
    void setShowNextViewDelegate(QVRootViewControllerDelegate *delegate) { m_showNextViewDelegate.set(delegate); }
    QVSettingRootViewControllerDelegate *showSettingRootNextViewDelegate() const
    {
        return m_showSettingRootNextViewDelegate.get();
    }
    void setShowSettingRootNextViewDelegate(QVSettingRootViewControllerDelegate *delegate)
    {
        m_showSettingRootNextViewDelegate.set(delegate);
    }
    QVDownLoadFileRootVCDelegate *showDownLoadFileRootNextViewDelegate() const
    {
        return m_showDownLoadFileRootNextViewDelegate.get();
    }
    void setShowDownLoadFileRootNextViewDelegate(QVDownLoadFileRootVCDelegate *delegate)
    {
        m_showDownLoadFileRootNextViewDelegate.set(delegate);
    }

    // The remote selection handed from the download window to the download
    // page, and the password of the encrypted folder it came from.
    QString downLoadFilePassWord() const { return m_downLoadFilePassWord; }
    void setDownLoadFilePassWord(const QString &value) { m_downLoadFilePassWord = value; }
    QVariantList downLoadFileListArray() const { return m_downLoadFileListArray; }
    void setDownLoadFileListArray(const QVariantList &value) { m_downLoadFileListArray = value; }

    double mainScreenHeight() const { return m_mainScreenHeight; }
    void setMainScreenHeight(double value) { m_mainScreenHeight = value; }
    double getCurrentPageHeight();

    // The program's settings store, for the pages' own keys; null when the
    // tools were made without one.
    std::shared_ptr<Platform::KeyValueStore> userDefaults() const { return m_services.store; }

    // Remembered connections: one entry per receiver address under the key.
    // Entries of another shape in the store are passed over and kept.
    void saveConnectStorageModel(const QVStorageModel &model, const QString &storageKey);
    void removeConnectStorageModel(const QVStorageModel &model, const QString &storageKey);
    std::optional<QVStorageModel> checkStorageModelWithDeviceIP(const QString &deviceIP,
                                                                const QString &storageKey) const;

    // Program and device information.
    static QString appVersion();
    static QString appBuild();
    static QString operatingSystemVersion();
    // "xx:xx:xx:xx:xx:xx" of the primary interface, or "error".
    QString getMacAddress() const;
    static QString rv_udid();
    // This installation's identifier, made and stored on first use.
    QString deviceUDID();
    // The user's first preferred language; null when there is none.
    QString systemLanguage() const;
    static QString conversionLanguage(const QString &language);
    QString getCurrentShowLanguage() const;
    QString getAppSupportLanguageForH5() const;
    static QString appSupportLanguageForH5(const QString &language);
    static QString systemVersion();
    // "IPv4" and "IPv6" addresses of the primary interface (each only when it
    // has one).
    QVariantMap getIPAddresses() const;

    // File helpers behind the file-share headers.
    static QString getLocalFileName(const QUrl &fileUrl);
    static QString downLoadFileForBase64(const QString &text);
    static QString getLocalFileBytes(const QUrl &fileUrl);
    // 32 lower-case hexadecimal digits; null when the file cannot be read.
    static QString getLocalFileMd5(const QUrl &fileUrl);
    static QString getlocalDataMd5(const QByteArray &data);
    // Up to UploadPieceBytes from the decimal offset on; empty at or past
    // the end, for a negative offset or an unreadable file.
    static QByteArray splitUploadWithUrl(const QUrl &fileUrl, const QString &stareBytes);
    static bool isAliasFileAtURL(const QUrl &fileUrl);
    static bool checkFileInWorkSpaceWithFilePath(const QString &path);

    // Widths of a text in the program's font at a pixel size, for the path
    // bar. Need the GUI application.
    // The text's width, at most itemMaxWidth.
    static double getLabelWidthWithText(const QString &text, double fontSize, double itemMaxWidth);
    // That width plus the border of a path element, 14.
    static double getHasBorderWidthWithText(const QString &text, double fontSize, double itemMaxWidth);
    // The whole text fits into itemMaxWidth.
    static bool hasEnoughSpaceShow(const QString &text, double fontSize, double itemMaxWidth);
    // The bordered elements of every name, with 22 between neighbours, fit
    // into bgMaxWidth. No names fit into any positive width.
    static bool checkEnoughWidthWithArray(const QStringList &names, double fontSize, double itemMaxWidth,
                                          double bgMaxWidth);
    // The height of the text wrapped at itemMaxWidth; 0 for no text.
    static double getLabelHeightWithText(const QString &text, double fontSize, double itemMaxWidth);
    // A text of 5 or more characters shortened to its first 3 and "...".
    static QString cutOutMaxmunTextWithText(const QString &text);

    // Casting-screen button styles: 0 disconnect, 1 full screen, 2 leave full
    // screen, 3 freeze, 4 unfreeze; other styles give the empty text.
    static QString getTitleNameWithStyle(qint64 style);
    static QString getImageNameWithStyle(qint64 style);
    // The file share's root folders.
    static QString getRootMenuIconWithRootKey(const QString &rootKey);
    static QString getRootMenuNameWithRootKey(const QString &rootKey);
    // The icon of a remote file by its type; the empty text for unknown types.
    static QString getFileIconWithFileType(const QString &fileType);
    static QStringList fileUploadAllowedFileTypes();

    // The download folder, kept as its absolute path.
    void saveDownLoadFilePathWithWithUrl(const QUrl &folderUrl);
    // The folder when one is set and still there; empty otherwise.
    QUrl getDownLoadFilePathWithBookMark() const;
    // Nothing to release on this system; kept for the pages' symmetry.
    void closedFilePathSecurityScopedResource() const;
    // A folder is set, exists and can be written.
    bool downLoadFilePathIsReachable() const;

    // The receiver's thumbnail of a remote file.
    QUrl getDownLoadThumbUrl(const QString &remotePath) const;

private:
    QJsonArray storedArray(const QString &storageKey) const;
    void writeArray(const QString &storageKey, const QJsonArray &array);

    QVPublicToolsServices m_services;
    bool m_alert_uploadFile_noPromptAgain = false;
    bool m_alert_downLoadFile_noPromptAgain = false;
    bool m_isInToUploadFilePage = false;
    QVPageCache m_vcCacheDictionary;
    QVWeakDelegate<QVRootViewControllerDelegate> m_showNextViewDelegate;
    QVWeakDelegate<QVSettingRootViewControllerDelegate> m_showSettingRootNextViewDelegate;
    QVWeakDelegate<QVDownLoadFileRootVCDelegate> m_showDownLoadFileRootNextViewDelegate;
    QString m_downLoadFilePassWord = QStringLiteral("");
    QVariantList m_downLoadFileListArray;
    double m_mainScreenHeight = 0.0;
};
