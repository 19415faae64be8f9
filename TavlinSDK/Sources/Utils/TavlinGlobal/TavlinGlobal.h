#pragma once

#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QThreadPool>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>

#include "Device/Device.h"
#include "Platform/InterfaceAddresses.h"
#include "Platform/MachineInfo.h"
#include "TavlinError.h"
#include "TavlinExport.h"
#include "Utils/TavlinGlobal/DynamicPortTable.h"

// Receiver feature bits, from the search reply and the name reply.
namespace FeatureBits {
constexpr qint64 kCastingCodeConfigured = 0x40;    // bit 6
constexpr qint64 kNotTvReceiver = 0x100;           // bit 8, clear on a TV receiver
constexpr qint64 kWindowsReceiver = 0x200;         // bit 9
constexpr qint64 kMasterControl = 0x100000;        // bit 20
constexpr qint64 kPartnerAtv = 0x1000000;          // bit 24
constexpr qint64 kDynamicPorts = 0x10000000;       // bit 28
} // namespace FeatureBits

// Why a session ended; also the code of the error the application receives.
enum DisconnectReason : qint64 {
    DisconnectReasonByUser = 0,
    DisconnectReasonNetworkUnreachable = 1,
    DisconnectReasonHeartbeatTimeout = 2,
    DisconnectReasonScreenLocked = 3,
};

// The casting library's process-wide session state. Never instantiated; every
// member is static and lives for the whole process. All access happens on
// the main thread.
class TavlinGlobal {
public:
    TavlinGlobal() = delete;

    // Every session value and the port table back to their initial state
    // (tests start from here). The installed address source stays.
    static void resetAll();

    // The error handed to the application for a disconnect reason; none for 0.
    static OptionalTavlinError errorForDisconnectReason(qint64 reason);

    // --- Session values ---
    static DevicePtr getChoseDevice();
    static void setChoseDevice(DevicePtr device);
    // Replaces only the chosen receiver's name.
    static void setChoseDeviceName(const QString &name);
    static DevicePtr getTempChoseDevice();
    static void setTempChoseDevice(DevicePtr device);

    static bool getIsConnecting();
    static void setIsConnecting(bool value);
    static bool getIsCasting();
    static void setIsCasting(bool value);
    static bool getIsPauseCast();
    static void setIsPauseCast(bool value);

    static qint64 getCastMode();
    static void setCastMode(qint64 value);
    static qint64 getMultiScreen();
    static void setMultiScreen(qint64 value);
    static qint64 getMirrorMode();
    static void setMirrorMode(qint64 value);
    static qint64 getCastState();
    static void setCastState(qint64 value);

    static bool getIsSupportMasterCon();
    static void setIsSupportMasterCon(bool value);
    static bool getIsConnectByIp();
    static void setIsConnectByIp(bool value);
    static bool getIsConnectByPin();
    static void setIsConnectByPin(bool value);
    static QString getConnectPin();
    static void setConnectPin(const QString &pin);
    static bool getIsWindowReceiver();
    static void setIsWindowReceiver(bool value);
    static bool getIsTvVersion();
    static void setIsTvVersion(bool value);
    static bool getIsSupportDynamicPort();
    static void setIsSupportDynamicPort(bool value);
    static qint64 getServerRotation();
    static void setServerRotation(qint64 value);
    static QString getServerPlatform();
    static void setServerPlatform(const QString &platform);
    static QString getMacCpuChipBrand();
    static void setMacCpuChipBrand(const QString &brand);
    static bool getIsRecasting();
    static void setIsRecasting(bool value);
    static quint32 getDefaultAudioId();
    static void setDefaultAudioId(quint32 id);

    // Values with accessors that the running system does not use.
    static QObject *getSearchView();
    static void setSearchView(QObject *view);
    // A null window leaves the stored one in place.
    static QObject *getOnlyWindow();
    static void setOnlyWindow(QObject *window);
    static QString getLanguage();
    static void setLanguage(const QString &language);
    static bool getIsKeepAspectRatio();
    static void setIsKeepAspectRatio(bool value);
    static bool getIsFirstSearchDevice();
    static void setIsFirstSearchDevice(bool value);
    static bool getIsCastAutoAccept();
    static void setIsCastAutoAccept(bool value);
    static bool getIsHostPreview();
    static void setIsHostPreview(bool value);
    static bool getIsAnnotation();
    // Written only by the annotation start/stop command.
    static void setIsAnnotation(bool value);
    static qint64 getServerDisconnectCastType();
    static void setServerDisconnectCastType(qint64 value);
    static qint64 getBenqAtvVersion();
    static void setBenqAtvVersion(qint64 value);

    // --- Feature bits ---
    static bool isSupportMasterCon(qint64 features);
    static bool judgePartnerAtv(qint64 features);

    // --- JSON helpers ---
    // Pretty-printed JSON text: two-space indentation per level, " : "
    // between key and value, one member per line, "/" written as "\/".
    // Members follow the map's (sorted) key order. Empty on failure (a value
    // JSON cannot hold, such as NaN), after a log line.
    static QString jsonStringWithDict(const QVariantMap &dict);
    // Removes every "\n" and appends one: one master-control line.
    static QString jsonStrReplacelinebreak(const QString &text);
    // An object, or none (std::nullopt) for empty or unparsable text and for
    // JSON whose top level is not an object; failures are logged.
    static std::optional<QJsonObject> dictionaryWithJsonString(const QString &text);
    static std::optional<QJsonObject> dictionaryWithJsonData(const QByteArray &data);
    // Reads text as the C library's "%x" does, sign-extending 32 bits.
    static qint64 numberWithHexString(const QString &text);

    // --- Validators and probes ---
    // The sources of this machine's addresses and of its model (the facade
    // installs them); without one, there is no address and no model.
    static void setInterfaceAddresses(std::shared_ptr<Platform::InterfaceAddresses> source);
    static void setMachineInfo(std::shared_ptr<Platform::MachineInfo> source);
    static bool isValidIPAddress(const QString &text);
    // This machine's IPv4 address on its primary interface, or empty; never
    // 127.0.0.1. Logs "mine ipaddress = ...".
    static QString getMineIPAddress();
    // The primary hardware address as 12 lower-case hex digits, or empty.
    static QString getMineMacAddress();
    // Casting-code shapes. The all-characters checks hold for empty text.
    static bool ifEnterPinCountIsValid(const QString &pin);
    static bool ifSixNumberPin(const QString &pin);
    static bool compareCharter(const QString &pin);
    static bool ifEightBigCharPin(const QString &pin);
    static bool ifContainDot(const QString &text);
    static bool removeChinese(const QString &text);
    // No Wi-Fi client interface on this system: never connected, no name.
    static bool isConnectWIFI();
    static QString getCurrentSSID();
    // The machine's product name, or "Just an Apple Computer" without one.
    static QString machineModel();
    // The user's cache folder with the application's name appended.
    static QString appCachePath();

    // Serial work queues: one worker thread each. Each create replaces the
    // previous queue of its kind (after its pending work has run).
    static QThreadPool *createPingQueue();
    static QThreadPool *getPingQueue();
    static QThreadPool *createCaptureQueue();
    static QThreadPool *getCaptureQueue();

    // --- Localisation tables (a developer's tool) ---
    // Tables are read from `sourceFolder`: "<code>.lproj/Localizable.strings"
    // in the strings-file form, and the translation texts "<code>.txt".
    // Results are written to `outputFolder` (the documents folder when empty).
    static void setLocalizationFolders(const QString &sourceFolder, const QString &outputFolder = {});
    static void exportString();
    static bool exportStringFile(const QString &code, bool withKey);
    static void createString();
    static bool createStringFileFor(const QString &code);

    // --- Sockets and 8121 senders: added with the socket layer ---
    // The process's shared sockets. Each factory replaces the socket of its
    // kind: the old one loses its delegate, is closed and is deleted later
    // (it may be the socket whose callback is running). A factory whose
    // connect cannot start returns none and holds none.
    static constexpr quint16 kHandshakePort = 8121;
    static constexpr int kHandshakeConnectTimeoutMs = 3000;
    static constexpr int kCheckPasswordTimeoutMs = 6000;
    static constexpr qint64 kMasterControlReadTag = 110;
    static constexpr qint64 kDirectCastTag = 111;
    static constexpr qint64 kDirectCastCommandTag = 51060;
    static constexpr qint64 kDisConnectCastTag = 52030;

    // The handshake socket (run-loop TCP): connects with the given time-out
    // and arms one read without time-out (tag 0). The socket it replaces
    // goes once the new connect has started (`whenStarted` runs just before,
    // while the old one is still the handshake socket): a connected one
    // sends what is queued on it (a goodbye) and closes, one still
    // connecting is dropped at once. When the new connect cannot start,
    // nothing is returned and, with `whenStarted` given, the old socket
    // stays in place; without it the old socket is dropped.
    static class AsyncSocket *CreateSocket(const QString &host, quint16 port, class AsyncSocketDelegate *delegate,
                                           int connectTimeoutMs = kHandshakeConnectTimeoutMs,
                                           const std::function<void()> &whenStarted = {});
    static AsyncSocket *getAsyncSocket_8121();
    // The unused preview socket: as the handshake socket, except that the old
    // one first finishes its pending reads and writes.
    static AsyncSocket *CreateHostPreviewControlSocket(const QString &host, quint16 port, AsyncSocketDelegate *delegate,
                                                       int connectTimeoutMs = kHandshakeConnectTimeoutMs);
    static AsyncSocket *getHostPreviewSocket();
    // Queue-based sockets; no connect time-out unless one is given. Each arms
    // one read without time-out with its own tag (110, 111, 52030).
    static class GCDAsyncSocket *createMasterConGCDAsyncSocket(const QString &host, quint16 port,
                                                               class GCDAsyncSocketDelegate *delegate,
                                                               int connectTimeoutMs = -1);
    static GCDAsyncSocket *getMasterConSocket();
    static GCDAsyncSocket *createDirectCastGCDAsyncSocket(const QString &host, quint16 port,
                                                          GCDAsyncSocketDelegate *delegate, int connectTimeoutMs = -1);
    static GCDAsyncSocket *getDirectCastSocket();
    static GCDAsyncSocket *createDisConnectCastGCDAsyncSocket(const QString &host, quint16 port,
                                                              GCDAsyncSocketDelegate *delegate,
                                                              int connectTimeoutMs = -1);
    static GCDAsyncSocket *getDisConnectCastSocket();
    // Sets the delegate of the handshake, master-control and direct-cast
    // sockets and clears their user values.
    static void setSocketDelegate(AsyncSocketDelegate *runLoopDelegate, GCDAsyncSocketDelegate *queueDelegate);
    // Host and port of the last handshake socket made.
    static QString getLastHost();
    static quint16 getLastPort();
    // Drops every shared socket (tests start from here).
    static void resetSockets();
    // Closes every shared socket at once, each first handing what is queued
    // on it (a disconnect message, a goodbye) to the system as far as the
    // system takes it without waiting: for the end of the library, after
    // which no event loop may run to send it.
    static void releaseSockets();

    // Where the client name is read: the stored "TavlinMacClientName", empty
    // when none is stored. Until a source is set, the library's settings.
    static void setClientNameSource(std::function<QString()> source);

    // Text commands. Each writes its request and arms one read without
    // time-out (tag 0); nothing happens while there is no socket.
    static void sendCommandToReceive(const QString &text);
    static void directCastSendCommandToReceive(const QString &text);
    static void checkIfPaswExist();
    // "CHECKPASSWORD" with the code, written with a time-out. A code holding a
    // line break or another control character is refused (false) and never
    // written: it would end the request early and start a stray one. The
    // handshake itself times the reply from the write.
    static bool checkPassword(const QString &code, int timeoutMs = kCheckPasswordTimeoutMs);
    static void sayHello();
    static void sayByebye();
    static void auth();
    static void sendKeyEventMsg(qint64 key);
    // The same kind of requests on a socket the caller passes.
    static void startOrStopAnnotation(bool start, AsyncSocket *annotationSocket);
    static void setAnnotationColor(int color, int size, AsyncSocket *annotationSocket);
    static void sendMsgAction(int action, double pointX, double pointY, AsyncSocket *annotationSocket);
    static void clearAnnotation(AsyncSocket *annotationSocket);
    static void inputKeyBoard(qint64 first, qint64 length, const QString &content, AsyncSocket *inputSocket);
    static void enterKeyCode(qint16 keyCode, AsyncSocket *inputSocket);
};
