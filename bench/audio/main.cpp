// Encodes 60 s of 44.1 kHz stereo PCM to AAC-ELD and packs every frame into
// its RTP datagram, as a cast does, and prints the real-time factor (time
// spent / duration of the sound). For comparison, the same for the ffmpeg
// program encoding the same sound to AAC-LC at the same rate and bit rate.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <cmath>
#include <cstdio>

#include "Mirror/AudioRtpPacket.h"
#include "Mirror/FdkAACEncoder.h"

namespace {

constexpr int kSampleRate = 44100;
constexpr int kSeconds = 60;

// Music-like test sound: a few partials with a slow tremolo, plus noise.
QByteArray makeSound()
{
    const int frames = kSampleRate * kSeconds;
    QByteArray pcm(frames * 4, Qt::Uninitialized);
    auto *out = reinterpret_cast<uchar *>(pcm.data());
    quint32 noise = 12345;
    for (int i = 0; i < frames; ++i) {
        const double t = double(i) / kSampleRate;
        const double envelope = 0.6 + 0.4 * std::sin(2 * M_PI * 0.5 * t);
        noise = noise * 1664525u + 1013904223u;
        const double hiss = (int(noise >> 16) - 32768) / 32768.0 * 0.02;
        const double left = envelope * (0.3 * std::sin(2 * M_PI * 220 * t) + 0.15 * std::sin(2 * M_PI * 660 * t)
                                        + 0.05 * std::sin(2 * M_PI * 3300 * t)) + hiss;
        const double right = envelope * (0.3 * std::sin(2 * M_PI * 330 * t) + 0.1 * std::sin(2 * M_PI * 1320 * t)) - hiss;
        qToLittleEndian<qint16>(qint16(std::lround(left * 32767)), out + i * 4);
        qToLittleEndian<qint16>(qint16(std::lround(right * 32767)), out + i * 4 + 2);
    }
    return pcm;
}

class Packer : public FdkAACEncoderDelegate {
public:
    void gotAACEncodedData(const QByteArray &data) override
    {
        if (std::optional<QByteArray> datagram = AudioRtpPacket::pack(sequence++, 0, data)) {
            ++packets;
            bytes += datagram->size();
        }
    }
    quint16 sequence = 0;
    qint64 packets = 0;
    qint64 bytes = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QByteArray pcm = makeSound();

    FdkAACEncoder encoder;
    if (!encoder.isReady()) {
        std::fprintf(stderr, "the encoder could not be set up\n");
        return 1;
    }
    Packer packer;
    encoder.setDelegate(&packer);
    // The capture hands over about 10 ms at a time.
    const qsizetype piece = kSampleRate / 100 * 4;
    QElapsedTimer clock;
    clock.start();
    for (qsizetype at = 0; at < pcm.size(); at += piece)
        encoder.encode(pcm.mid(at, piece));
    const double ownSeconds = clock.nsecsElapsed() / 1e9;
    std::printf("AAC-ELD 192 kbit/s + RTP packing: %d s of sound in %.3f s: real-time factor %.5f (%.0fx real time), "
                "%lld packets, %lld bytes\n",
                kSeconds, ownSeconds, ownSeconds / kSeconds, kSeconds / ownSeconds,
                static_cast<long long>(packer.packets), static_cast<long long>(packer.bytes));

    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty()) {
        std::printf("ffmpeg: not found\n");
        return 0;
    }
    QTemporaryDir dir;
    QFile input(dir.filePath(QStringLiteral("sound.pcm")));
    if (!input.open(QIODevice::WriteOnly) || input.write(pcm) != pcm.size())
        return 1;
    input.close();
    QProcess process;
    clock.restart();
    process.start(ffmpeg, {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                           QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-ar"),
                           QString::number(kSampleRate), QStringLiteral("-ac"), QStringLiteral("2"),
                           QStringLiteral("-i"), input.fileName(), QStringLiteral("-c:a"), QStringLiteral("aac"),
                           QStringLiteral("-b:a"), QStringLiteral("192k"), QStringLiteral("-f"),
                           QStringLiteral("adts"), QStringLiteral("-y"), dir.filePath(QStringLiteral("sound.aac"))});
    if (!process.waitForFinished(-1) || process.exitCode() != 0) {
        std::printf("ffmpeg failed: %s\n", process.readAllStandardError().constData());
        return 1;
    }
    const double ffmpegSeconds = clock.nsecsElapsed() / 1e9;
    std::printf("ffmpeg AAC-LC 192 kbit/s (whole program): %d s of sound in %.3f s: real-time factor %.5f "
                "(%.0fx real time)\n",
                kSeconds, ffmpegSeconds, ffmpegSeconds / kSeconds, kSeconds / ffmpegSeconds);
    return 0;
}
