#pragma once

#include <QObject>
#include <QPointF>
#include <QSet>
#include <memory>
#include <optional>
#include <vector>

#include "Device/Device.h"
#include "Platform/InputInjector.h"
#include "Platform/KeyValueStore.h"
#include "Platform/KeyboardLayout.h"
#include "Platform/PlatformServices.h"
#include "Platform/RemoteInputConsent.h"
#include "RemoteControl/RemoteInputDecoder.h"
#include "RemoteControl/MirrorRemoteInput.h"
#include "Socket/AsyncSocket.h"

// Intervals of remote input, in milliseconds.
struct RemoteControllerTimings {
    int connectTimeoutMs = 6000;
    // Shortest gap between two toggles of the on-screen keyboard.
    int keyboardViewerIntervalMs = 350;
};

// What the controller needs from the system.
struct RemoteControllerServices {
    std::shared_ptr<Platform::InputInjector> injector;
    std::shared_ptr<Platform::KeyboardLayout> keyboardLayout;
    std::shared_ptr<Platform::KeyValueStore> store;
    // Whether the user lets receivers drive this computer; none: not given.
    std::shared_ptr<Platform::RemoteInputConsent> consent;
    RemoteControllerTimings timings;

    static RemoteControllerServices fromPlatform(const Platform::PlatformServices &platform);
};

// Lets the receiver drive this computer's mouse and keyboard during a cast:
// reads the receiver's stream of event records and posts the events.
// An open display lets any process post input, so the user's consent stands
// in for the system's trust: until it is given, the records are read and
// dropped (one log line per cast), and the cast goes on without input.
// Lives on the main thread.
class RemoteController : public QObject, public MirrorRemoteInput, public AsyncSocketDelegate {
    Q_OBJECT
public:
    static constexpr const char *kAskFirstTimeKey = "axAskFirstTime";
    static constexpr qint32 kPercentScale = 11000;
    static constexpr quint16 kNoKey = 0xFFFF;
    static constexpr quint16 kLineFeedKey = 52;

    RemoteController(DevicePtr device, RemoteControllerServices services, QObject *parent = nullptr);
    // Releases whatever the receiver still holds down.
    ~RemoteController() override;

    // Connects to the receiver's remote-input port and reads; a connect that
    // cannot start is ignored.
    void startController() override;
    // Disconnects, and lets go of every key and button still held.
    void stopController() override;

    // Injection operations; each takes the value fields of its records.
    void mouseDown(qint32 value);
    void mouseUp(qint32 value);
    void mouseMoveX(qint32 dx, qint32 dy);
    void mouseMovePercentX(qint32 x, qint32 y);
    void scrollWheelW(qint32 horizontal, qint32 vertical);
    void scrollWheelZ(qint32 vertical);
    void keyDown(qint32 value);
    void keyUp(qint32 value);
    void simulateKeyWithUnichar(qint32 unit);

    QPointF getMousePointWithDeltaX(qint32 dx, qint32 dy);
    QPointF getMousePointWithPercentX(qint32 x, qint32 y);
    // Builds the character tables from the current layout when it changed.
    void prepareTables();

    // The remote-input connection.
    void onSocketDidReadData(AsyncSocket *sock, const QByteArray &data, qint64 tag) override;
    void onSocketDidDisconnect(AsyncSocket *sock) override;

    DevicePtr device() const { return mDevice; }
    AsyncSocket *remoteSocket() const { return mRemoteSocket; }
    // The user has allowed remote input and the system can post it.
    bool isTrusted() const;
    bool isFirstTime() const { return mIsFirstTime; }
    bool hasAskedPermission() const { return mHasAskedPermission; }
    bool mouse1Clicked() const { return mMouse1Clicked; }
    bool mouse2Clicked() const { return mMouse2Clicked; }
    bool mouse3Clicked() const { return mMouse3Clicked; }
    RemoteInputRecord prevevent() const { return mReceiveData.previousRecord(); }
    quint64 currentKeyboardLayout() const { return mCurrentKeyboardLayout; }
    quint16 charToKey(char16_t unit) const { return mCharToKey.empty() ? kNoKey : mCharToKey[unit]; }
    quint32 charToMod(char16_t unit) const { return mCharToMod.empty() ? 0 : mCharToMod[unit]; }

signals:
    // The receiver asked to show or hide the on-screen keyboard.
    void toggleKeyboardViewer();

private:
    void perform(const RemoteInputAction &action);
    void toggleKeyboardViewerIfDue();
    void checkAccessibility();
    void releaseHeldInput();
    void postMouseButton(qint32 value, bool down);
    Platform::PointerMotion currentMotion() const;

    RemoteControllerServices mServices;
    DevicePtr mDevice;
    AsyncSocket *mRemoteSocket = nullptr;
    RemoteInputDecoder mReceiveData;

    quint64 mCurrentKeyboardLayout = 0;
    std::vector<quint16> mCharToKey;
    std::vector<quint32> mCharToMod;

    bool mMouse1Clicked = false;
    bool mMouse2Clicked = false;
    bool mMouse3Clicked = false;
    // Keys the receiver pressed and has not released yet.
    QSet<quint16> mHeldKeys;

    bool mIsFirstTime = false;
    bool mHasAskedPermission = false;
    bool mStopped = false;
    // The drop of records without consent has been logged in this cast.
    bool mDropLogged = false;
    // Monotonic milliseconds of the last keyboard-viewer toggle.
    std::optional<qint64> mCurTime;
};
