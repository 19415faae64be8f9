// The cast's sound path, 60 s of 44.1 kHz stereo PCM through the AAC-ELD
// encoder in the pieces the capture hands over and every access unit packed
// into its RTP datagram, set against a plain fdk-aac loop with exactly the
// encoder's settings on the same sound from the same memory. Both run on this
// thread, alternating, timed by wall clock and by this thread's processor
// time; the medians are printed.
//
// Prints figures; asserts nothing.

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fdk-aac/aacenc_lib.h>

#include "BenchProcess.h"
#include "Mirror/AudioRtpPacket.h"
#include "Mirror/FdkAACEncoder.h"
#include "Mirror/TickCount.h"

namespace {

constexpr int kSeconds = 60;

// Music-like test sound: a few partials with a slow tremolo, plus noise.
QByteArray makeSound(int sampleRate)
{
    const int frames = sampleRate * kSeconds;
    QByteArray pcm(frames * 4, Qt::Uninitialized);
    auto *out = reinterpret_cast<uchar *>(pcm.data());
    quint32 noise = 12345;
    for (int i = 0; i < frames; ++i) {
        const double t = double(i) / sampleRate;
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

double threadCpuSeconds()
{
    return BenchProcess::cpuSeconds(RUSAGE_THREAD);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Run {
    double seconds = 0;
    double cpuSeconds = 0;
    qint64 packets = 0;
    qint64 bytes = 0;
    bool ok = false;
};

// The encoder says on standard output that it is set up; that line is no
// figure of this benchmark.
template<typename F>
void quietly(F &&f)
{
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0)
        ::dup2(null, STDOUT_FILENO);
    f();
    std::fflush(stdout);
    if (saved >= 0) {
        ::dup2(saved, STDOUT_FILENO);
        ::close(saved);
    }
    if (null >= 0)
        ::close(null);
}

class Packer : public FdkAACEncoderDelegate {
public:
    void gotAACEncodedData(const QByteArray &data) override
    {
        // As the sender packs it: the sequence number and the tick count of
        // the moment, one datagram per access unit.
        if (data.size() > AudioRtpPacket::kMaxPayloadSize)
            return;
        if (std::optional<QByteArray> datagram = AudioRtpPacket::pack(sequence++, GetTickCount(), data)) {
            ++packets;
            bytes += datagram->size();
        }
    }
    quint16 sequence = 0;
    qint64 packets = 0;
    qint64 bytes = 0;
};

// The project's path: set-up included, as both sides pay theirs.
Run runOurs(const QByteArray &pcm)
{
    Run run;
    const double cpuBefore = threadCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<FdkAACEncoder> encoder;
    quietly([&] { encoder = std::make_unique<FdkAACEncoder>(); });
    if (!encoder->isReady())
        return run;
    Packer packer;
    encoder->setDelegate(&packer);
    // The capture hands over about 10 ms at a time.
    const FdkAACEncoder::Parameters &parameters = encoder->parameters();
    const qsizetype piece = qsizetype(parameters.samplerate / 100) * parameters.channel * 2;
    for (qsizetype at = 0; at < pcm.size(); at += piece)
        encoder->encode(pcm.mid(at, piece));
    encoder->finish();
    run.seconds = double(clock.nsecsElapsed()) / 1e9;
    run.cpuSeconds = threadCpuSeconds() - cpuBefore;
    run.packets = packer.packets;
    run.bytes = packer.bytes;
    run.ok = true;
    return run;
}

// fdk-aac alone with the encoder's settings, whole frames straight from the
// buffer, the access units left where the library puts them.
Run runPlain(const QByteArray &pcm, const FdkAACEncoder::Parameters &parameters)
{
    Run run;
    const double cpuBefore = threadCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    HANDLE_AACENCODER handle = nullptr;
    if (aacEncOpen(&handle, 0, UINT(parameters.channel)) != AACENC_OK)
        return run;
    const std::pair<AACENC_PARAM, int> settings[] = {
        {AACENC_AOT, parameters.profile},          {AACENC_GRANULE_LENGTH, parameters.framelen},
        {AACENC_SAMPLERATE, parameters.samplerate}, {AACENC_CHANNELMODE, parameters.channel},
        {AACENC_CHANNELORDER, 1},                  {AACENC_BITRATE, parameters.bitrate},
        {AACENC_TRANSMUX, 0},
    };
    for (const auto &[parameter, value] : settings) {
        if (aacEncoder_SetParam(handle, parameter, UINT(value)) != AACENC_OK) {
            aacEncClose(&handle);
            return run;
        }
    }
    AACENC_InfoStruct info {};
    if (aacEncEncode(handle, nullptr, nullptr, nullptr, nullptr) != AACENC_OK
        || aacEncInfo(handle, &info) != AACENC_OK) {
        aacEncClose(&handle);
        return run;
    }
    const int chunk = int(info.frameLength) * parameters.channel * 2;
    std::vector<UCHAR> output(8192);
    for (qsizetype at = 0; at + chunk <= pcm.size(); at += chunk) {
        void *inBuffers[] = {const_cast<char *>(pcm.constData() + at)};
        INT inIdentifiers[] = {IN_AUDIO_DATA};
        INT inSizes[] = {chunk};
        INT inElementSizes[] = {2};
        AACENC_BufDesc inDesc {1, inBuffers, inIdentifiers, inSizes, inElementSizes};
        void *outBuffers[] = {output.data()};
        INT outIdentifiers[] = {OUT_BITSTREAM_DATA};
        INT outSizes[] = {INT(output.size())};
        INT outElementSizes[] = {1};
        AACENC_BufDesc outDesc {1, outBuffers, outIdentifiers, outSizes, outElementSizes};
        AACENC_InArgs inArgs {};
        inArgs.numInSamples = INT(info.frameLength) * parameters.channel;
        AACENC_OutArgs outArgs {};
        if (aacEncEncode(handle, &inDesc, &outDesc, &inArgs, &outArgs) == AACENC_OK && outArgs.numOutBytes > 0) {
            ++run.packets;
            run.bytes += outArgs.numOutBytes;
        }
    }
    aacEncClose(&handle);
    run.seconds = double(clock.nsecsElapsed()) / 1e9;
    run.cpuSeconds = threadCpuSeconds() - cpuBefore;
    run.ok = true;
    return run;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int runs = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[i + 1]));
    }
    const FdkAACEncoder::Parameters parameters;
    const QByteArray pcm = makeSound(parameters.samplerate);
    std::printf("audio bench: %s\n", BenchProcess::machineLine().constData());
    std::printf("%d s of %d Hz %d-channel 16-bit PCM from memory; AAC-ELD (object type %d), %d samples a frame, "
                "%d bit/s, raw access units; both on one thread, median of %d alternating runs\n",
                kSeconds, parameters.samplerate, parameters.channel, parameters.profile, parameters.framelen,
                parameters.bitrate, runs);

    std::vector<double> ourSeconds, ourCpu, plainSeconds, plainCpu;
    Run ours;
    Run plain;
    for (int run = 0; run < runs; ++run) {
        // Each goes first in turn.
        for (int k = 0; k < 2; ++k) {
            if ((run + k) % 2 == 0) {
                ours = runOurs(pcm);
                ourSeconds.push_back(ours.seconds);
                ourCpu.push_back(ours.cpuSeconds);
            } else {
                plain = runPlain(pcm, parameters);
                plainSeconds.push_back(plain.seconds);
                plainCpu.push_back(plain.cpuSeconds);
            }
        }
    }
    if (!ours.ok || !plain.ok) {
        std::printf("the encoder could not be set up\n");
        return 1;
    }
    auto line = [](const char *name, double seconds, double cpu, const Run &r, const char *note) {
        std::printf("%-34s %.3f s for %d s: %5.0fx real time, CPU %.1f us/packet (%lld packets, %lld bytes%s)\n", name,
                    seconds, kSeconds, kSeconds / seconds, cpu * 1e6 / double(std::max<qint64>(1, r.packets)),
                    static_cast<long long>(r.packets), static_cast<long long>(r.bytes), note);
    };
    const double o = median(ourSeconds);
    const double p = median(plainSeconds);
    line("ours (encoder + RTP packing):", o, median(ourCpu), ours, " in datagrams");
    line("fdk-aac alone (same settings):", p, median(plainCpu), plain, " of access units");
    std::printf("ratio ours/fdk-aac alone (speed): %.2f; CPU per packet ours - alone: %+.2f us\n", p / o,
                (median(ourCpu) / double(ours.packets) - median(plainCpu) / double(plain.packets)) * 1e6);
    std::printf("load average %s\n", BenchProcess::loadAverage().constData());
    return 0;
}
