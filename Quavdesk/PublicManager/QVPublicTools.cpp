#include "QVPublicTools.h"

#include "QVShareManager.h"

#include "Categories/RVArray.h"
#include "QVPlatform.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QNetworkInterface>
#include <QScreen>
#include <QSysInfo>
#include <QUuid>
#include <QVersionNumber>

#include <algorithm>
#include <limits>

#ifndef QUAVDESK_VERSION
#define QUAVDESK_VERSION "1.0.0"
#endif
#ifndef QUAVDESK_BUILD
#define QUAVDESK_BUILD "1"
#endif

namespace {

constexpr qint64 Md5PieceBytes = 8192;

QString localizable(const char *key)
{
    return QCoreApplication::translate("Localizable", key);
}

// Entries that are not objects, or whose address is no text or number, match
// no address.
bool entryMatches(const QJsonValue &entry, const QString &deviceIP)
{
    if (!entry.isObject())
        return false;
    const QString stored = QVStorageModel::objectWithKeyValues(entry.toObject()).deviceIP();
    return !stored.isNull() && stored == deviceIP;
}

// Index of the last entry for `deviceIP`, or -1.
qsizetype lastIndexFor(const QJsonArray &array, const QString &deviceIP)
{
    for (qsizetype i = array.size() - 1; i >= 0; --i) {
        if (entryMatches(array.at(i), deviceIP))
            return i;
    }
    return -1;
}

} // namespace

QVPublicToolsServices QVPublicToolsServices::fromPlatform(const Platform::PlatformServices &platform)
{
    QVPublicToolsServices services;
    services.store = platform.store;
    services.interfaceAddresses = platform.interfaceAddresses;
    services.fileShareIp = [] { return QVShareManager::sharedShareManager()->fileShareIp(); };
    services.preferredLanguages = [] { return QLocale::system().uiLanguages(); };
    return services;
}

QVPublicTools *QVPublicTools::sharedPublicTools()
{
    static QVPublicTools instance(QVPublicToolsServices::fromPlatform(QVPlatform::services()));
    return &instance;
}

QVPublicTools::QVPublicTools(QVPublicToolsServices services) : m_services(std::move(services)) {}

double QVPublicTools::getCurrentPageHeight()
{
    if (m_mainScreenHeight != 0.0)
        return m_mainScreenHeight;
    double height = 0.0;
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            height = screen->geometry().height();
    }
    m_mainScreenHeight = height >= 667.0 ? 667.0 : 566.95;
    return m_mainScreenHeight;
}

// ---------------------------------------------------------------------------
// Remembered connections

QJsonArray QVPublicTools::storedArray(const QString &storageKey) const
{
    if (!m_services.store)
        return {};
    const QVariant stored = m_services.store->value(storageKey);
    if (stored.typeId() == QMetaType::QString || stored.typeId() == QMetaType::QByteArray) {
        const QJsonDocument document = QJsonDocument::fromJson(stored.toString().toUtf8());
        return document.isArray() ? document.array() : QJsonArray();
    }
    return {};
}

void QVPublicTools::writeArray(const QString &storageKey, const QJsonArray &array)
{
    if (!m_services.store)
        return;
    m_services.store->setValue(storageKey, QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact)));
}

void QVPublicTools::saveConnectStorageModel(const QVStorageModel &model, const QString &storageKey)
{
    QJsonArray array = storedArray(storageKey);
    const qsizetype index = lastIndexFor(array, model.deviceIP());
    if (index >= 0)
        array.replace(index, model.keyValues());
    else
        array.append(model.keyValues());
    writeArray(storageKey, array);
}

void QVPublicTools::removeConnectStorageModel(const QVStorageModel &model, const QString &storageKey)
{
    QJsonArray array = storedArray(storageKey);
    const qsizetype index = lastIndexFor(array, model.deviceIP());
    if (index < 0)
        return;
    array.removeAt(index);
    writeArray(storageKey, array);
}

std::optional<QVStorageModel> QVPublicTools::checkStorageModelWithDeviceIP(const QString &deviceIP,
                                                                           const QString &storageKey) const
{
    const QJsonArray array = storedArray(storageKey);
    const qsizetype index = lastIndexFor(array, deviceIP);
    if (index < 0)
        return std::nullopt;
    return QVStorageModel::objectWithKeyValues(array.at(index).toObject());
}

// ---------------------------------------------------------------------------
// Program and device information

QString QVPublicTools::appVersion()
{
    return QStringLiteral(QUAVDESK_VERSION);
}

QString QVPublicTools::appBuild()
{
    return QStringLiteral(QUAVDESK_BUILD);
}

QString QVPublicTools::operatingSystemVersion()
{
    return QSysInfo::prettyProductName() + QLatin1Char(' ') + QSysInfo::kernelVersion();
}

QString QVPublicTools::getMacAddress() const
{
    const QByteArray mac = m_services.interfaceAddresses ? m_services.interfaceAddresses->primaryMacAddress()
                                                         : QByteArray();
    if (mac.size() != 6)
        return QStringLiteral("error");
    QStringList parts;
    for (const char byte : mac)
        parts.append(QStringLiteral("%1").arg(static_cast<quint8>(byte), 2, 16, QLatin1Char('0')));
    return parts.join(QLatin1Char(':'));
}

QString QVPublicTools::rv_udid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QString QVPublicTools::deviceUDID()
{
    if (!m_services.store)
        return rv_udid();
    const QVariant stored = m_services.store->value(DeviceUdidKey);
    if (stored.typeId() == QMetaType::QString && !stored.toString().isEmpty())
        return stored.toString();
    const QString udid = rv_udid();
    m_services.store->setValue(DeviceUdidKey, udid);
    return udid;
}

QString QVPublicTools::systemLanguage() const
{
    const QStringList languages = m_services.preferredLanguages ? m_services.preferredLanguages() : QStringList();
    return rv_objectOrNilAtIndex(languages, 0).value_or(QString());
}

QString QVPublicTools::conversionLanguage(const QString &language)
{
    const QString hans = QStringLiteral("zh-Hans");
    const QString hant = QStringLiteral("zh-Hant");
    if (language == hans || language == QStringLiteral("zh") || language.contains(hans))
        return hans;
    if (language == hant || language.contains(hant))
        return hant;
    return QStringLiteral("en");
}

QString QVPublicTools::getCurrentShowLanguage() const
{
    return conversionLanguage(systemLanguage());
}

QString QVPublicTools::appSupportLanguageForH5(const QString &language)
{
    const QString converted = conversionLanguage(language);
    if (converted == QStringLiteral("zh-Hans"))
        return QStringLiteral("");
    if (converted == QStringLiteral("zh-Hant"))
        return QStringLiteral("_tw");
    return QStringLiteral("_en");
}

QString QVPublicTools::getAppSupportLanguageForH5() const
{
    return appSupportLanguageForH5(systemLanguage());
}

QString QVPublicTools::systemVersion()
{
    const QVersionNumber version = QVersionNumber::fromString(QSysInfo::kernelVersion());
    return QStringLiteral("Mac %1_%2_%3")
        .arg(version.majorVersion())
        .arg(version.minorVersion())
        .arg(version.microVersion());
}

QVariantMap QVPublicTools::getIPAddresses() const
{
    QVariantMap addresses;
    const QString primary = m_services.interfaceAddresses ? m_services.interfaceAddresses->mineIPv4Address()
                                                          : QString();
    if (primary.isEmpty())
        return addresses;
    const QHostAddress primaryAddress(primary);
    for (const QNetworkInterface &interface : QNetworkInterface::allInterfaces()) {
        const QList<QNetworkAddressEntry> entries = interface.addressEntries();
        const bool isPrimary = std::any_of(entries.begin(), entries.end(), [&](const QNetworkAddressEntry &entry) {
            return entry.ip() == primaryAddress;
        });
        if (!isPrimary)
            continue;
        addresses.insert(QStringLiteral("IPv4"), primary);
        for (const QNetworkAddressEntry &entry : entries) {
            if (entry.ip().protocol() == QAbstractSocket::IPv6Protocol) {
                QHostAddress ip = entry.ip();
                ip.setScopeId(QString());
                addresses.insert(QStringLiteral("IPv6"), ip.toString());
                break;
            }
        }
        break;
    }
    return addresses;
}

// ---------------------------------------------------------------------------
// Files

QString QVPublicTools::getLocalFileName(const QUrl &fileUrl)
{
    return downLoadFileForBase64(QFileInfo(fileUrl.toLocalFile()).fileName());
}

QString QVPublicTools::downLoadFileForBase64(const QString &text)
{
    return QString::fromLatin1(text.toUtf8().toBase64());
}

QString QVPublicTools::getLocalFileBytes(const QUrl &fileUrl)
{
    const QFileInfo info(fileUrl.toLocalFile());
    if (fileUrl.toLocalFile().isEmpty() || !info.exists())
        return QStringLiteral("0");
    return QString::number(info.size());
}

QString QVPublicTools::getLocalFileMd5(const QUrl &fileUrl)
{
    const QString path = fileUrl.toLocalFile();
    if (path.isEmpty() || QFileInfo(path).isDir())
        return QString();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QCryptographicHash hash(QCryptographicHash::Md5);
    QByteArray piece(Md5PieceBytes, Qt::Uninitialized);
    for (;;) {
        const qint64 read = file.read(piece.data(), piece.size());
        if (read < 0)
            return QString();
        if (read == 0)
            break;
        hash.addData(QByteArrayView(piece.constData(), read));
    }
    return QString::fromLatin1(hash.result().toHex());
}

QString QVPublicTools::getlocalDataMd5(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

QByteArray QVPublicTools::splitUploadWithUrl(const QUrl &fileUrl, const QString &stareBytes)
{
    // The offset is the text's leading decimal number, as the device sends it.
    qsizetype i = 0;
    while (i < stareBytes.size() && stareBytes.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < stareBytes.size() && (stareBytes.at(i) == QLatin1Char('+') || stareBytes.at(i) == QLatin1Char('-')))
        negative = stareBytes.at(i++) == QLatin1Char('-');
    qint64 offset = 0;
    for (; i < stareBytes.size() && stareBytes.at(i).isDigit() && stareBytes.at(i).unicode() < 128; ++i) {
        if (offset > (std::numeric_limits<qint64>::max() - 9) / 10)
            return QByteArray();
        offset = offset * 10 + (stareBytes.at(i).unicode() - '0');
    }
    if (negative && offset > 0)
        return QByteArray();

    QFile file(fileUrl.toLocalFile());
    if (fileUrl.toLocalFile().isEmpty() || !file.open(QIODevice::ReadOnly) || offset > file.size()
        || !file.seek(offset))
        return QByteArray();
    return file.read(UploadPieceBytes);
}

bool QVPublicTools::isAliasFileAtURL(const QUrl &fileUrl)
{
    // The system's aliases here are symbolic links.
    return QFileInfo(fileUrl.toLocalFile()).isSymLink();
}

bool QVPublicTools::checkFileInWorkSpaceWithFilePath(const QString &path)
{
    return !path.isEmpty() && QFileInfo::exists(path);
}

// ---------------------------------------------------------------------------
// Text widths

namespace {

// Room the path bar gives an element around its text, and between elements.
constexpr double ElementBorder = 14.0;
constexpr double ElementGap = 22.0;

QFontMetricsF metricsFor(double fontSize)
{
    QFont font = QGuiApplication::font();
    font.setPixelSize(std::max(1, qRound(fontSize)));
    return QFontMetricsF(font);
}

double fullWidth(const QString &text, double fontSize)
{
    return metricsFor(fontSize).horizontalAdvance(text);
}

} // namespace

double QVPublicTools::getLabelWidthWithText(const QString &text, double fontSize, double itemMaxWidth)
{
    return std::min(fullWidth(text, fontSize), itemMaxWidth);
}

double QVPublicTools::getHasBorderWidthWithText(const QString &text, double fontSize, double itemMaxWidth)
{
    return getLabelWidthWithText(text, fontSize, itemMaxWidth) + ElementBorder;
}

bool QVPublicTools::hasEnoughSpaceShow(const QString &text, double fontSize, double itemMaxWidth)
{
    return itemMaxWidth > fullWidth(text, fontSize);
}

bool QVPublicTools::checkEnoughWidthWithArray(const QStringList &names, double fontSize, double itemMaxWidth,
                                              double bgMaxWidth)
{
    double total = 0.0;
    for (qsizetype i = 0; i < names.size(); ++i) {
        total += getHasBorderWidthWithText(names.at(i), fontSize, itemMaxWidth);
        if (i > 0)
            total += ElementGap;
    }
    return bgMaxWidth > total;
}

double QVPublicTools::getLabelHeightWithText(const QString &text, double fontSize, double itemMaxWidth)
{
    if (text.isEmpty())
        return 0.0;
    const QRectF area(0.0, 0.0, std::max(1.0, itemMaxWidth), 1.0e6);
    return metricsFor(fontSize).boundingRect(area, Qt::TextWordWrap, text).height();
}

QString QVPublicTools::cutOutMaxmunTextWithText(const QString &text)
{
    if (text.size() >= 5)
        return text.left(3) + QStringLiteral("...");
    return text;
}

// ---------------------------------------------------------------------------
// Tables

QString QVPublicTools::getTitleNameWithStyle(qint64 style)
{
    switch (style) {
    case 0:
        return localizable(QT_TRANSLATE_NOOP("Localizable", "shareScreen_disconnectBtn_title"));
    case 1:
        return localizable(QT_TRANSLATE_NOOP("Localizable", "shareScreen_btn_fullScreen"));
    case 2:
        return localizable(QT_TRANSLATE_NOOP("Localizable", "shareScreen_btn_unFullScreen"));
    case 3:
        return localizable(QT_TRANSLATE_NOOP("Localizable", "shareScreen_btn_freeze"));
    case 4:
        return localizable(QT_TRANSLATE_NOOP("Localizable", "shareScreen_btn_unFreeze"));
    default:
        return QStringLiteral("");
    }
}

QString QVPublicTools::getImageNameWithStyle(qint64 style)
{
    switch (style) {
    case 0:
        return QStringLiteral("detail_disconnect_switch");
    case 1:
        return QStringLiteral("detail_full_screen");
    case 2:
        return QStringLiteral("detail_cancel_full_screen");
    case 3:
        return QStringLiteral("detail_screen_freeze");
    case 4:
        return QStringLiteral("detail_screen_unfreeze");
    default:
        return QStringLiteral("");
    }
}

namespace {

struct RootMenu {
    const char *rootKey;
    const char *icon;
    const char *name;
};

constexpr RootMenu RootMenus[] = {
    {"Root-Local", "list_menu_localFile", QT_TRANSLATE_NOOP("Localizable", "downLoadFile_menuName_local")},
    {"Root-Download", "list_menu_downLoad", QT_TRANSLATE_NOOP("Localizable", "downLoadFile_menuName_downLoad")},
    {"Root-Share", "list_menu_share", QT_TRANSLATE_NOOP("Localizable", "downLoadFile_menuName_share")},
    {"Root-Meeting", "list_menu_localMeetingRecord", QT_TRANSLATE_NOOP("Localizable", "downLoadFile_menuName_meetingRecord")},
    {"Root-Picture", "list_menu_picture", QT_TRANSLATE_NOOP("Localizable", "downLoadFile_menuName_picture")},
    {"Root-Encrypt", "list_menu_encrypt", QT_TRANSLATE_NOOP("Localizable", "downLoadFile_menuName_encrypt")},
};

const RootMenu *rootMenuFor(const QString &rootKey)
{
    for (const RootMenu &menu : RootMenus) {
        if (rootKey == QLatin1String(menu.rootKey))
            return &menu;
    }
    return nullptr;
}

struct FileIcon {
    const char *fileType;
    const char *icon;
};

constexpr FileIcon FileIcons[] = {
    {"IMAGE", "list_fileType_picture"},
    {"DOC", "list_fileType_word"},
    {"PDF", "list_fileType_pdf"},
    {"PPT", "list_fileType_ppt"},
    {"EXCEL", "list_fileType_excel"},
    {"FOLDER", "list_fileType_folder"},
    {"AUDIO", "list_fileType_audio"},
    {"MEET_RECORD", "list_fileType_video"},
    {"VIDEO", "list_fileType_video"},
    {"DOCUMENT", "list_fileType_text"},
    {"ZIP", "list_fileType_zip"},
    {"APK", "list_fileType_apk"},
    {"X_APK", "list_fileType_apk"},
    {"OTHER", "list_fileType_other"},
};

} // namespace

QString QVPublicTools::getRootMenuIconWithRootKey(const QString &rootKey)
{
    const RootMenu *menu = rootMenuFor(rootKey);
    return QString::fromLatin1(menu ? menu->icon : "list_menu_bitmap");
}

QString QVPublicTools::getRootMenuNameWithRootKey(const QString &rootKey)
{
    const RootMenu *menu = rootMenuFor(rootKey);
    return menu ? QString::fromLatin1(menu->name) : QStringLiteral("");
}

QString QVPublicTools::getFileIconWithFileType(const QString &fileType)
{
    for (const FileIcon &icon : FileIcons) {
        if (fileType == QLatin1String(icon.fileType))
            return QString::fromLatin1(icon.icon);
    }
    return QStringLiteral("");
}

QStringList QVPublicTools::fileUploadAllowedFileTypes()
{
    return {
        QStringLiteral("apk"),  QStringLiteral("xapk"), QStringLiteral("jpg"),  QStringLiteral("jpeg"),
        QStringLiteral("png"),  QStringLiteral("gif"),  QStringLiteral("bmp"),  QStringLiteral("webp"),
        QStringLiteral("heif"), QStringLiteral("heic"), QStringLiteral("tiff"), QStringLiteral("tif"),
        QStringLiteral("svg"),  QStringLiteral("mp4"),  QStringLiteral("3gp"),  QStringLiteral("avi"),
        QStringLiteral("mkv"),  QStringLiteral("flv"),  QStringLiteral("mov"),  QStringLiteral("wmv"),
        QStringLiteral("webm"), QStringLiteral("ogg"),  QStringLiteral("mpeg"), QStringLiteral("mpg"),
        QStringLiteral("rmvb"), QStringLiteral("asf"),  QStringLiteral("ts"),   QStringLiteral("swf"),
        QStringLiteral("dat"),  QStringLiteral("mts"),  QStringLiteral("dv"),   QStringLiteral("m4v"),
        QStringLiteral("divx"), QStringLiteral("mp3"),  QStringLiteral("aac"),  QStringLiteral("wav"),
        QStringLiteral("ogg"),  QStringLiteral("flac"), QStringLiteral("midi"), QStringLiteral("mid"),
        QStringLiteral("amr"),  QStringLiteral("pcm"),  QStringLiteral("wma"),  QStringLiteral("dts"),
        QStringLiteral("ape"),  QStringLiteral("m4a"),  QStringLiteral("aiff"), QStringLiteral("caf"),
        QStringLiteral("opus"), QStringLiteral("txt"),  QStringLiteral("docx"), QStringLiteral("doc"),
        QStringLiteral("xlsx"), QStringLiteral("xls"),  QStringLiteral("pptx"), QStringLiteral("ppt"),
        QStringLiteral("pdf"),
    };
}

// ---------------------------------------------------------------------------
// Download folder

void QVPublicTools::saveDownLoadFilePathWithWithUrl(const QUrl &folderUrl)
{
    if (!m_services.store || !folderUrl.isLocalFile())
        return;
    m_services.store->setValue(DownLoadFilePathKey, QFileInfo(folderUrl.toLocalFile()).absoluteFilePath());
}

QUrl QVPublicTools::getDownLoadFilePathWithBookMark() const
{
    if (!m_services.store)
        return QUrl();
    const QVariant stored = m_services.store->value(DownLoadFilePathKey);
    if (stored.typeId() != QMetaType::QString)
        return QUrl();
    const QString path = stored.toString();
    if (path.isEmpty() || !QFileInfo(path).isAbsolute() || !QFileInfo(path).isDir())
        return QUrl();
    return QUrl::fromLocalFile(path);
}

void QVPublicTools::closedFilePathSecurityScopedResource() const {}

bool QVPublicTools::downLoadFilePathIsReachable() const
{
    const QUrl folder = getDownLoadFilePathWithBookMark();
    if (folder.isEmpty())
        return false;
    const QFileInfo info(folder.toLocalFile());
    return info.isDir() && info.isWritable();
}

// ---------------------------------------------------------------------------
// Thumbnails

QUrl QVPublicTools::getDownLoadThumbUrl(const QString &remotePath) const
{
    const QString base = m_services.fileShareIp ? m_services.fileShareIp() : QString();
    const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(remotePath));
    return QUrl(QStringLiteral("%1/api/glimra/fileShare/getThumb?path=%2").arg(base, encoded), QUrl::StrictMode);
}
