#include "AudioTestSupport.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <cmath>

#include "TestSupport.h"

namespace AudioTest {

QByteArray stereoTone(int frames, double leftHz, double rightHz, int sampleRate, int offset, double amplitude)
{
    QByteArray pcm(frames * 4, Qt::Uninitialized);
    auto *out = reinterpret_cast<uchar *>(pcm.data());
    for (int i = 0; i < frames; ++i) {
        const double t = double(offset + i) / sampleRate;
        const auto left = static_cast<qint16>(std::lround(amplitude * 32767 * std::sin(2 * M_PI * leftHz * t)));
        const auto right = static_cast<qint16>(std::lround(amplitude * 32767 * std::sin(2 * M_PI * rightHz * t)));
        qToLittleEndian<qint16>(left, out + i * 4);
        qToLittleEndian<qint16>(right, out + i * 4 + 2);
    }
    return pcm;
}

static double goertzelPower(const QVector<float> &samples, int sampleRate, double frequency)
{
    const double coefficient = 2 * std::cos(2 * M_PI * frequency / sampleRate);
    double s1 = 0, s2 = 0;
    for (float sample : samples) {
        const double s0 = sample + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - coefficient * s1 * s2;
}

double dominantFrequency(const QVector<float> &samples, int sampleRate)
{
    double best = 0, bestPower = -1;
    for (int f = 100; f <= 8000; f += 10) {
        const double power = goertzelPower(samples, sampleRate, f);
        if (power > bestPower) {
            bestPower = power;
            best = f;
        }
    }
    return best;
}

double dominantFrequencyOfPcm(const QByteArray &pcm, int channel, int channels, int sampleRate)
{
    QVector<float> samples;
    const auto *bytes = reinterpret_cast<const uchar *>(pcm.constData());
    const qsizetype frames = pcm.size() / (2 * channels);
    samples.reserve(frames);
    for (qsizetype i = 0; i < frames; ++i)
        samples.append(qFromLittleEndian<qint16>(bytes + (i * channels + channel) * 2) / 32768.0f);
    return dominantFrequency(samples, sampleRate);
}

double rms(const QVector<float> &samples)
{
    if (samples.isEmpty())
        return 0;
    double sum = 0;
    for (float sample : samples)
        sum += double(sample) * sample;
    return std::sqrt(sum / samples.size());
}

QVector<float> settled(const QVector<float> &samples, int skip)
{
    return samples.size() > skip ? samples.mid(skip) : QVector<float>{};
}

QByteArray run(const QString &program, const QStringList &arguments, bool *ok, const QByteArray &input,
               int timeoutMs)
{
    QProcess process;
    process.start(program, arguments);
    bool good = process.waitForStarted();
    if (good) {
        if (!input.isEmpty())
            process.write(input);
        process.closeWriteChannel();
        good = process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit
               && process.exitCode() == 0;
        if (!good && process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
    if (ok)
        *ok = good;
    return process.readAllStandardOutput();
}

QByteArray pythonZip(const QList<QPair<QString, QByteArray>> &entries, bool *ok)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("made.zip"));
    QStringList arguments{QStringLiteral("-c"),
                          QStringLiteral("import sys, zipfile\n"
                                         "z = zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED)\n"
                                         "args = sys.argv[2:]\n"
                                         "for i in range(0, len(args), 2):\n"
                                         "    z.writestr(args[i], bytes.fromhex(args[i + 1]))\n"
                                         "z.close()\n"),
                          path};
    for (const auto &entry : entries)
        arguments << entry.first << QString::fromLatin1(entry.second.toHex());
    bool ran = false;
    run(TestSupport::python3(), arguments, &ran);
    QFile file(path);
    if (!ran || !file.open(QIODevice::ReadOnly)) {
        if (ok)
            *ok = false;
        return {};
    }
    if (ok)
        *ok = true;
    return file.readAll();
}

} // namespace AudioTest
