#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

namespace AudioTest {

// Signed 16-bit little-endian interleaved stereo PCM: a sine of `leftHz` on
// the left channel and `rightHz` on the right, starting at sample `offset`.
QByteArray stereoTone(int frames, double leftHz, double rightHz, int sampleRate = 44100, int offset = 0,
                      double amplitude = 0.4);

// The frequency (in steps of 10 Hz between 100 and 8000 Hz) where the
// samples have the most energy.
double dominantFrequency(const QVector<float> &samples, int sampleRate);
double dominantFrequencyOfPcm(const QByteArray &pcm, int channel, int channels, int sampleRate);
double rms(const QVector<float> &samples);

// The decoded sound without the encoder's start-up and the decoder's priming.
QVector<float> settled(const QVector<float> &samples, int skip = 4096);

// Runs a program and returns its standard output; `ok` tells whether it
// ran and exited with 0.
QByteArray run(const QString &program, const QStringList &arguments, bool *ok = nullptr,
               const QByteArray &input = {}, int timeoutMs = 20000);

// A zip archive made by Python's zipfile: entries (name, content).
QByteArray pythonZip(const QList<QPair<QString, QByteArray>> &entries, bool *ok);

} // namespace AudioTest
