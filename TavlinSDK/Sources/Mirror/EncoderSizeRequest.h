#pragma once

#include <QMetaType>
#include <QtGlobal>

// The receiver's request for another encoder size and frame rate: read by
// the control session from an "OPTIONS" reply, followed by the video sender.
// The bounds hold for both.
struct EncoderSizeRequest {
    // Sides outside this range are not a screen any encoder can be given.
    static constexpr int kMinSide = 16;
    static constexpr int kMaxSide = 8192;
    static constexpr int kMinFps = 1;
    static constexpr int kMaxFps = 60;
    // The frame rate taken when the receiver asks for a negative one.
    static constexpr int kFallbackFps = 20;

    static constexpr bool sideInRange(qint64 side) { return side >= kMinSide && side <= kMaxSide; }

    int width = 0;
    int height = 0;
    int fps = 0;

    bool operator==(const EncoderSizeRequest &) const = default;
};

Q_DECLARE_METATYPE(EncoderSizeRequest)
