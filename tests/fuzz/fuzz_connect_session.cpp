// Drives a whole connect handshake with what a hostile receiver can send:
// the input picks the road (address or eight-letter casting code) and the
// waits, then is a script of reads from the handshake socket, socket events,
// casting codes typed by the user and turns of the event loop (the name wait
// is 0 ms, so a turn without a name reply ends it). The session's own
// connections go to a peer on loopback that never answers.
//
// What must hold whatever the receiver says: every entry of the port table
// stays a usable port; a connect succeeds at most once, and once it has,
// neither a failure nor a request for a code is reported; a success leaves
// the receiver at the connected address chosen.

#include <QByteArray>
#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "FuzzSupport.h"
#include "MainControl/TLConnectPack/TLConnectPack.h"
#include "Socket/SocketErrors.h"
#include "Utils/TavlinGlobal/DynamicPortTable.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"

namespace {

FuzzSupport::SilentPeer *peer = nullptr;
QString loopbackCode;

// The eight-letter casting code that names an IPv4 address.
QString eightLetterCode(quint32 address)
{
    quint64 v = (208827064575ULL - address) % 4294967296ULL;
    QString code(8, QLatin1Char('A'));
    for (int i = 7; i >= 0; --i) {
        code[i] = QLatin1Char(char('A' + v % 26));
        v /= 26;
    }
    return code;
}

struct Recorder final : ConnectPackDelegate {
    void connectPack_needEnterPwd() override
    {
        if (succeeded)
            std::abort();
    }
    void connectPack_pwdIncorrect(const TavlinError &) override {}
    void connectPack_connectDeviceCheckSuccess() override
    {
        if (succeeded)
            std::abort();
        succeeded = true;
        const DevicePtr chosen = TavlinGlobal::getChoseDevice();
        if (!chosen || chosen->mHostIp != peer->host())
            std::abort();
    }
    void connectPack_connectDeviceCheckWithError(const TavlinError &) override
    {
        if (succeeded)
            std::abort();
    }
    bool succeeded = false;
};

void checkPorts()
{
    for (qint64 port : {DynamicPortTable::getDynamicPort_51040(), DynamicPortTable::getDynamicPort_51030(),
                        DynamicPortTable::getDynamicPort_51060(), DynamicPortTable::getDynamicPort_52020(),
                        DynamicPortTable::getDynamicPort_52030(), DynamicPortTable::getDynamicPort_57395()}) {
        if (port < 1 || port > 65535)
            std::abort();
    }
}

TavlinError socketError(uint8_t which)
{
    switch (which % 6) {
    case 0:
        return TavlinError(SocketErrors::kAsyncSocketErrorDomain, SocketErrors::AsyncSocketConnectTimeoutError,
                           QStringLiteral("connect timed out"));
    case 1:
        return TavlinError(SocketErrors::kAsyncSocketErrorDomain, SocketErrors::AsyncSocketReadTimeoutError,
                           QStringLiteral("Read operation timed out"));
    case 2:
        return SocketErrors::posixError(ECONNRESET);
    case 3:
        return SocketErrors::posixError(ENOTCONN);
    case 4:
        return SocketErrors::posixError(ETIMEDOUT);
    default:
        return SocketErrors::posixError(EPIPE);
    }
}

void run(FuzzSupport::Input &in)
{
    TavlinGlobal::resetAll();
    TavlinGlobal::resetSockets();
    DynamicPortTable::resetToDefaults();

    const uint8_t setup = in.byte();
    ConnectPackTimings timings;
    timings.handshakePort = peer->port();
    timings.nameWaitMs = 0;
    timings.checkPasswordTimeoutMs = setup & 2 ? 0 : 60000;
    timings.handshakeDeadlineMs = setup & 4 ? 0 : 60000;
    timings.connectTimeoutMs = 60000;

    Recorder recorder;
    auto pack = std::make_unique<TLConnectPack>(&recorder, timings);
    const bool byCode = setup & 1;
    const bool started = byCode ? pack->connectDeviceByPin(loopbackCode) : pack->connectDeviceByIp(peer->host());
    if (!started)
        std::abort();

    while (!in.atEnd()) {
        const uint8_t op = in.byte();
        AsyncSocket *socket = pack->asyncSocket_8121();
        switch (op % 8) {
        case 0:
        case 1:
        case 2:
        case 3:
            if (socket)
                pack->onSocketDidReadData(socket, in.chunk(), 0);
            break;
        case 4:
            if (socket)
                pack->onSocketDidConnectToHost(socket, peer->host(), peer->port());
            break;
        case 5:
            if (socket) {
                const uint8_t which = in.byte();
                if (which & 0x80)
                    pack->onSocketWillDisconnectWithError(socket, socketError(which));
                // The socket may have been replaced meanwhile.
                if (pack->asyncSocket_8121() == socket)
                    pack->onSocketDidDisconnect(socket);
            }
            break;
        case 6:
            pack->connectDeviceByIpCheckPwd(QString::fromUtf8(in.chunk()));
            break;
        case 7:
            FuzzSupport::runEvents();
            break;
        }
        checkPorts();
    }
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
    loopbackCode = eightLetterCode(0x7F000001u);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::Input in(data, size);
    run(in);
    return 0;
}
