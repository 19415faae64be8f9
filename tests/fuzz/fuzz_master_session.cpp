// Drives a whole master-control session with what a hostile receiver can
// send: the input is a script of lines read from the session's socket, socket
// events, the user's operations, statuses of the cast's control session and
// turns of the event loop (with every timer at 0 ms, each turn is a
// heartbeat, a cast-request time-out and a keep-alive). The session's own
// connections go to a peer on loopback that never answers.
//
// What must hold whatever the receiver says: the end of the session is
// reported at most once and nothing of the receiver's reaches the
// application after it; full-screen states are 0 or 1 and a full-screen
// change is reported only while casting; no cast starts after the end; what
// is kept of an unfinished line never grows past its bound.

#include <QByteArray>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "FuzzSupport.h"
#include "MainControl/TLCastPack/CastControlSession.h"
#include "MainControl/TLMasterControlPack/TLMasterControlPack.h"
#include "Utils/TavlinGlobal/DynamicPortTable.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"

namespace {

FuzzSupport::SilentPeer *peer = nullptr;

// The cast's control session: reports what the input tells it to.
struct Control final : CastControlSession {
    explicit Control(Control **live) : m_live(live) { *m_live = this; }
    ~Control() override
    {
        if (*m_live == this)
            *m_live = nullptr;
    }
    void setMonitorCallback(std::function<void(qint32)> callback) override { monitor = std::move(callback); }
    void startMrror() override {}
    void stopMirror() override {}
    bool isBusy() const override { return true; }
    void setMirrorPause(bool pause) override { paused = pause; }
    bool getPauseMark() const override { return paused; }

    std::function<void(qint32)> monitor;
    bool paused = false;
    Control **m_live;
};

struct Recorder final : MasterControlPackDelegate {
    void masterControlPack_deviceDidDisconnectWithError(const OptionalTavlinError &) override
    {
        if (ended)
            std::abort();
        ended = true;
    }
    void masterControlPack_castSuccess() override
    {
        if (ended)
            std::abort();
        casting = true;
    }
    void masterControlPack_castStopWithError(const OptionalTavlinError &) override { casting = false; }
    void masterControlPack_allowFullScreenStateChanged(qint64 state) override
    {
        if (ended || (state != 0 && state != 1))
            std::abort();
    }
    void masterControlPack_fullScreenStateChanged(qint64 state) override
    {
        if (ended || (state != 0 && state != 1) || !pack || !pack->castPack()->isCasting())
            std::abort();
    }
    void masterControlPack_replyCastRequest(qint64 reply) override
    {
        // After the end only the user's own start is answered: refused, at once.
        if (ended && !(starting && reply == 0))
            std::abort();
    }

    TLMasterControlPack *pack = nullptr;
    bool ended = false;
    bool casting = false;
    bool starting = false;
};

const qint32 kStatuses[] = {MirrorSocketStatusConnected, MirrorSocketStatusOther, MirrorSocketStatusConnectTimeout,
                            MirrorSocketStatusClosedByServer, MirrorSocketStatusHeartbeatLost};

void run(FuzzSupport::Input &in)
{
    TavlinGlobal::resetAll();
    TavlinGlobal::resetSockets();
    auto chosen = std::make_shared<Device>();
    chosen->mDevicename = QStringLiteral("Room");
    chosen->mHostIp = peer->host();
    chosen->mServer_features = FeatureBits::kMasterControl;
    TavlinGlobal::setChoseDevice(chosen);
    DynamicPortTable::setDynamicPort_57395(peer->port());
    DynamicPortTable::setDynamicPort_51060(peer->port());

    Control *control = nullptr;
    MasterControlServices services;
    services.timings.heartbeatIntervalMs = 0;
    services.timings.castRequestTimeoutMs = 0;
    services.timings.directCastIntervalMs = 0;
    services.cast.controlFactory = [&control](const DevicePtr &) { return std::make_unique<Control>(&control); };
    services.cast.timings.pauseDelayMs = 0;
    services.cast.timings.stoppedControlLingerMs = 0;
    services.clientName = [] { return QStringLiteral("Fuzz"); };
    services.versionName = QStringLiteral("1.0.0");
    services.versionCode = 1;

    Recorder recorder;
    auto pack = std::make_unique<TLMasterControlPack>(&recorder, services);
    recorder.pack = pack.get();
    if (!pack->startMasterControlPack())
        std::abort();

    uint8_t op = 0;
    while (!in.atEnd()) {
        op = in.byte();
        switch (op % 8) {
        case 0:
        case 1:
        case 2:
            pack->socketDidReadData(pack->masterControlSocket(), in.chunk(), TavlinGlobal::kMasterControlReadTag);
            break;
        case 3: {
            // A long run without a line end, up to about twice the bound on
            // what the session keeps of an unfinished line.
            const qsizetype length = qsizetype(in.byte()) * 512;
            const char fill = char(in.byte());
            pack->socketDidReadData(pack->masterControlSocket(), QByteArray(length, fill == '\n' ? '{' : fill),
                                    TavlinGlobal::kMasterControlReadTag);
            break;
        }
        case 4:
            switch (in.byte() % 7) {
            case 0:
                recorder.starting = true;
                pack->startMirror();
                recorder.starting = false;
                break;
            case 1: pack->stopMirror(); break;
            case 2: pack->fullScreenOperator(1); break;
            case 3: pack->fullScreenOperator(0); break;
            case 4: pack->setPasueCast(1); break;
            case 5: pack->setPasueCast(0); break;
            case 6: pack->startDirectCastRelated(); break;
            }
            break;
        case 5:
            if (in.byte() % 2)
                pack->socketDidConnectToHost(pack->masterControlSocket(), peer->host(), peer->port());
            else
                pack->socketDidDisconnect(pack->masterControlSocket(), std::nullopt);
            break;
        case 6:
            if (control && control->monitor)
                control->monitor(kStatuses[in.byte() % std::size(kStatuses)]);
            else
                pack->socketDidReadData(pack->directCastSocket(), in.chunk(), TavlinGlobal::kDirectCastCommandTag);
            break;
        case 7:
            FuzzSupport::runEvents();
            break;
        }
        if (pack->pendingReceiverBytes() > MasterControlCodec::LineFramer::kMaxPendingBytes)
            std::abort();
    }
    pack->disconnectOperator(op % 4);
    if (!recorder.ended)
        std::abort();
    // Nothing the receiver says now reaches anyone.
    pack->socketDidReadData(pack->masterControlSocket(), "{\"replyCastRequest\":1}\n", TavlinGlobal::kMasterControlReadTag);
    FuzzSupport::runEvents();
    pack.reset();
    TavlinGlobal::resetSockets();
    FuzzSupport::runEvents();
    peer->drop();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::initialize();
    peer = new FuzzSupport::SilentPeer;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::Input in(data, size);
    run(in);
    return 0;
}
