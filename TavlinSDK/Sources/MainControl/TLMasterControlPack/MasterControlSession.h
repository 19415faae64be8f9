#pragma once

#include <QtGlobal>

// The master-control session as the facade drives it: made at every
// successful handshake; destroying it ends it without any callback. Events
// arrive through the MasterControlPackDelegate it was made with.
class MasterControlSession {
public:
    virtual ~MasterControlSession() = default;

    // Opens the session with the chosen receiver; false when it could not.
    virtual bool startMasterControlPack() = 0;
    virtual void startMirror() = 0;
    virtual void stopMirror() = 0;
    // 1 freezes the cast picture, 0 resumes it.
    virtual bool setPasueCast(qint64 status) = 0;
    // 1 asks for full screen on the receiver, 0 leaves it.
    virtual bool fullScreenOperator(qint64 status) = 0;
    // Ends the session for a DisconnectReason.
    virtual void disconnectOperator(qint64 reason) = 0;
    virtual bool canRecordScreen() = 0;
    virtual void showScreenRecordingPrompt() = 0;
};
