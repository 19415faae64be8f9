#pragma once

// The receiver's mouse and keyboard events, injected locally, as the cast's
// control session starts and stops them.
class MirrorRemoteInput {
public:
    virtual ~MirrorRemoteInput() = default;
    virtual void startController() = 0;
    virtual void stopController() = 0;
};
