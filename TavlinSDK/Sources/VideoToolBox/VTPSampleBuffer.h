#pragma once

#include <QByteArray>
#include <QList>
#include <memory>

#include "Platform/VideoFrame.h"

// A captured picture with its timing, as the capture roads hand it to the
// compression session. Times are milliseconds.
struct VTPImageSampleBuffer {
    Platform::VideoFramePtr imageBuffer;
    qint64 presentationTimeStamp = 0;
    qint64 duration = 0;
};

// One result of the compression session. For a coded picture `dataBuffer`
// holds its NAL units, each behind a 4-byte big-endian length, and
// `parameterSets` the stream's format description (SPS at index 0, PPS at
// index 1). A dropped picture carries only its timing.
struct VTPSampleBuffer {
    QByteArray dataBuffer;
    QList<QByteArray> parameterSets;
    bool notSync = false; // the picture is not a sync (key) frame
    qint64 presentationTimeStamp = 0;
    qint64 duration = 0;
};

using VTPSampleBufferRef = std::shared_ptr<const VTPSampleBuffer>;
