#include "ReceiverSide.h"

#include <sys/prctl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>

#include "HandshakeServer.h"
#include "MasterControlServer.h"
#include "ReceiverEmulator.h"
#include "RemoteInputSender.h"
#include "RtspReceiver.h"
#include "SearchResponder.h"
#include "VideoReceiver.h"

namespace {

void say(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int runReceiverSide(const QHostAddress &address, const QString &castingCode)
{
    prctl(PR_SET_PDEATHSIG, SIGTERM);

    ReceiverEmulator emulator(address);
    auto *search = emulator.addComponent<SearchResponder>(quint16(0));
    auto *handshake = emulator.addComponent<HandshakeServer>(quint16(0));
    auto *master = emulator.addComponent<MasterControlServer>(quint16(0));
    auto *remote = emulator.addComponent<RemoteInputSender>(quint16(0));
    if (!emulator.start()) {
        std::fprintf(stderr, "receiver: %s\n", qPrintable(emulator.errorString()));
        return 1;
    }
    VideoReceiver video(address, quint16(0));
    QString error;
    if (!video.start(&error)) {
        std::fprintf(stderr, "receiver: video port: %s\n", qPrintable(error));
        return 1;
    }
    // The audio "SETUP" reply names no data port: the cast goes on without
    // sound, and the figures are the picture's alone.
    RtspReceiver rtsp;
    if (!rtsp.listen(address)) {
        std::fprintf(stderr, "receiver: control port cannot listen\n");
        return 1;
    }

    HandshakeBehaviour behaviour;
    behaviour.castingCode = castingCode;
    behaviour.ports = {{QStringLiteral("51040"), rtsp.port()},
                       {QStringLiteral("51030"), video.port()},
                       {QStringLiteral("52020"), remote->port()},
                       {QStringLiteral("57395"), master->port()}};
    handshake->setBehaviour(behaviour);
    // Casts start at once, without asking the receiver's user.
    MasterControlBehaviour masterBehaviour;
    masterBehaviour.castMode = 1;
    master->setBehaviour(masterBehaviour);

    say("ready " + QByteArray::number(search->port()) + ' ' + QByteArray::number(handshake->port()));

    QByteArray pending;
    int optionsBeforeRequest = -1;
    QTimer askedWatch;
    askedWatch.setInterval(10);
    QObject::connect(&askedWatch, &QTimer::timeout, [&] {
        if (rtsp.methods().count("OPTIONS") > optionsBeforeRequest) {
            askedWatch.stop();
            say("asked");
        }
    });
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        pending.append(buffer, n);
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QList<QByteArray> words = pending.left(end).simplified().split(' ');
            pending.remove(0, end + 1);
            if (words.value(0) == "encoder" && words.size() == 4) {
                // The reply to the next keep-alive carries it.
                optionsBeforeRequest = int(rtsp.methods().count("OPTIONS"));
                rtsp.queueOptionsBody(RtspReceiver::encoderRequest(words[1].toInt(), words[2].toInt(), words[3].toInt()));
                askedWatch.start();
            } else if (words.value(0) == "stats") {
                const QSize size = video.decodedSize();
                say("stats " + QByteArray::number(video.packetCount()) + ' '
                    + QByteArray::number(video.decodedFrames()) + ' ' + QByteArray::number(video.decodeErrors())
                    + ' ' + QByteArray::number(video.headerErrors().size()) + ' '
                    + QByteArray::number(size.width()) + 'x' + QByteArray::number(size.height()));
            }
        }
    });
    const int code = QCoreApplication::exec();
    video.stop();
    emulator.stop();
    return code;
}
