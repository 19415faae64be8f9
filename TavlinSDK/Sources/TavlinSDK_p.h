#pragma once

// The facade's inner state. Not a public header: the library and its tests
// include it.

#include <QMetaObject>
#include <QTimer>
#include <functional>
#include <memory>

#include "AudioDriver/AudioDriverOperations.h"
#include "MainControl/TLConnectPack/ConnectPackDelegate.h"
#include "MainControl/TLConnectPack/ConnectSession.h"
#include "MainControl/TLMasterControlPack/MasterControlPackDelegate.h"
#include "MainControl/TLMasterControlPack/MasterControlSession.h"
#include "SearchDevicesFunc/DeviceLists.h"
#include "SearchDevicesFunc/DevicesManager.h"
#include "TavlinSDK.h"

class TavlinSDKPrivate;

// Stands between one session object and the facade: once the session is
// replaced, whatever it still reports goes nowhere.
class ConnectPackRelay final : public ConnectPackDelegate {
public:
    explicit ConnectPackRelay(TavlinSDKPrivate *facade) : owner(facade) {}
    void connectPack_needEnterPwd() override;
    void connectPack_pwdIncorrect(const TavlinError &error) override;
    void connectPack_connectDeviceCheckSuccess() override;
    void connectPack_connectDeviceCheckWithError(const TavlinError &error) override;

    TavlinSDKPrivate *owner;   // null once the session is replaced
};

class MasterControlPackRelay final : public MasterControlPackDelegate {
public:
    explicit MasterControlPackRelay(TavlinSDKPrivate *facade) : owner(facade) {}
    void masterControlPack_deviceDidDisconnectWithError(const OptionalTavlinError &error) override;
    void masterControlPack_castSuccess() override;
    void masterControlPack_castStopWithError(const OptionalTavlinError &error) override;
    void masterControlPack_allowFullScreenStateChanged(qint64 state) override;
    void masterControlPack_fullScreenStateChanged(qint64 state) override;
    void masterControlPack_replyCastRequest(qint64 reply) override;

    TavlinSDKPrivate *owner;
};

// A session object with the relay it reports through; the session goes first.
template <class Session, class Relay>
struct SessionSlot {
    std::unique_ptr<Relay> relay;
    std::unique_ptr<Session> session;

    ~SessionSlot() { session.reset(); }
    Session *get() const { return session.get(); }
    explicit operator bool() const { return session != nullptr; }
};

using ConnectPackSlot = SessionSlot<ConnectSession, ConnectPackRelay>;
using MasterControlPackSlot = SessionSlot<MasterControlSession, MasterControlPackRelay>;

class TavlinSDKPrivate final : public ConnectPackDelegate, public MasterControlPackDelegate {
public:
    TavlinSDKPrivate(TavlinSDK *owner, TavlinDelegate *delegate, TavlinServices services);
    ~TavlinSDKPrivate() override;

    static TavlinSDKPrivate *get(TavlinSDK *facade) { return facade->d.get(); }

    // The start-up of the facade, in its order.
    void start();

    // Receiver search and the device lists.
    void startSearchDevices();
    void stopDeviceSearch();
    void startDeviceTimer();
    void stopDeviceTimer();
    // Merges a reply at once; the list is rebuilt, sorted and reported once
    // per turn of the event loop, however many replies the turn brought.
    void handleSearchReply(const Device &reply);
    void publishDeviceList();
    void pruneDeviceList();

    // Network, lock and disconnects.
    void readPrimaryIPv4State();
    void primaryIPv4Changed();
    void screenLocked();
    void disconnectWithReason(qint64 reason);

    // A connect while a session is up: the old session ends, without a
    // callback, once the new connect has really started and before the new
    // handshake touches any shared state, so that nothing of it runs on the
    // new handshake's state and a connect that answers no leaves it alone.
    void endSessionForNewConnect();
    // Makes a new handshake object and starts it with `start`; the old
    // session and handshake object go only when it has started. False when
    // none could be made or it did not start.
    bool startConnect(const std::function<bool(ConnectSession &, const std::function<void()> &)> &start);
    // Makes and starts a master-control session in place of the last one.
    void replaceMasterControlPack();
    // Drops a replaced session once the current callback is over: it may be
    // the caller of the code that replaced it.
    template <class Slot>
    void retire(std::unique_ptr<Slot> slot);
    AudioDriverOperations *audioDriver();

    // ConnectPackDelegate
    void connectPack_needEnterPwd() override;
    void connectPack_pwdIncorrect(const TavlinError &error) override;
    void connectPack_connectDeviceCheckSuccess() override;
    void connectPack_connectDeviceCheckWithError(const TavlinError &error) override;

    // MasterControlPackDelegate
    void masterControlPack_deviceDidDisconnectWithError(const OptionalTavlinError &error) override;
    void masterControlPack_castSuccess() override;
    void masterControlPack_castStopWithError(const OptionalTavlinError &error) override;
    void masterControlPack_allowFullScreenStateChanged(qint64 state) override;
    void masterControlPack_fullScreenStateChanged(qint64 state) override;
    void masterControlPack_replyCastRequest(qint64 reply) override;

    TavlinSDK *q;
    TavlinDelegate *delegate;
    TavlinServices services;

    bool isNetReachable = false;
    bool isCasting = false;
    bool isConnected = false;

    std::unique_ptr<ConnectPackSlot> connectPack;
    std::unique_ptr<MasterControlPackSlot> masterControlPack;
    std::unique_ptr<AudioDriverOperations> privilegedTask;

    DevicesManager *deviceManager = nullptr;
    std::unique_ptr<DevicesManager> ownDeviceManager;   // when not the process's one
    DeviceLists lists;
    bool deviceListPublishPending = false;
    std::unique_ptr<QTimer> updateDeviceListTimer;
    QList<QMetaObject::Connection> serviceConnections;
};
