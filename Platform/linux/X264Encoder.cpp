#include "X264Encoder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <sys/prctl.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

extern "C" {
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
#include <x264.h>
}

#include "Platform/LinuxPlatform.h"

namespace Platform::Linux {

namespace {

QByteArray withoutLengthPrefix(const x264_nal_t &nal)
{
    if (nal.i_payload <= 4)
        return {};
    return QByteArray(reinterpret_cast<const char *>(nal.p_payload) + 4, nal.i_payload - 4);
}

// BGRA (full-range RGB) to limited-range BT.709 Y'CbCr, the colours the
// stream's VUI announces, in fixed point. The weights come from the matrix's
// two constants so that a wrong one cannot hide in a table of numbers.
namespace bt709 {
constexpr double kRed = 0.2126;
constexpr double kBlue = 0.0722;
constexpr double kGreen = 1.0 - kRed - kBlue;
constexpr double kLumaSpan = 219.0 / 255.0;   // 16..235
constexpr double kChromaSpan = 224.0 / 255.0; // 16..240 around 128
constexpr int kBits = 14;
constexpr int fixed(double v)
{
    return int(v * (1 << kBits) + (v < 0 ? -0.5 : 0.5));
}
constexpr int kYR = fixed(kRed * kLumaSpan);
constexpr int kYG = fixed(kGreen * kLumaSpan);
constexpr int kYB = fixed(kBlue * kLumaSpan);
constexpr int kUR = fixed(-kRed / (2 * (1 - kBlue)) * kChromaSpan);
constexpr int kUG = fixed(-kGreen / (2 * (1 - kBlue)) * kChromaSpan);
constexpr int kUB = fixed(0.5 * kChromaSpan);
constexpr int kVR = fixed(0.5 * kChromaSpan);
constexpr int kVG = fixed(-kGreen / (2 * (1 - kRed)) * kChromaSpan);
constexpr int kVB = fixed(-kBlue / (2 * (1 - kRed)) * kChromaSpan);
// Offsets with the rounding half folded in; chroma works on sums of four
// pixels, hence its two extra bits.
constexpr int kYOffset = (16 << kBits) + (1 << (kBits - 1));
constexpr int kCOffset = (128 << (kBits + 2)) + (1 << (kBits + 1));

// Written as plain loops over one row so that the compiler vectorises them,
// once for the baseline processor and once with AVX2's wider registers and
// whole 32-bit multiplies, picked when the library loads. Not under
// ThreadSanitizer: the picking runs while the library is relocated, before
// the sanitizer's runtime is up, and its instrumentation would crash there.
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TAVLIN_NO_CLONES
#endif
#endif
#if defined(__SANITIZE_THREAD__) || defined(TAVLIN_NO_CLONES)
#define TAVLIN_VECTOR_CLONES
#else
#define TAVLIN_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#endif

TAVLIN_VECTOR_CLONES void lumaRow(const uint8_t *__restrict bgra, uint8_t *__restrict luma, int width)
{
    for (int x = 0; x < width; ++x) {
        const int b = bgra[4 * x];
        const int g = bgra[4 * x + 1];
        const int r = bgra[4 * x + 2];
        luma[x] = uint8_t((kYR * r + kYG * g + kYB * b + kYOffset) >> kBits);
    }
}

// Chroma of a 2x2 block from the mean of its four pixels: sited between the
// two rows and the two columns.
TAVLIN_VECTOR_CLONES void chromaRow(const uint8_t *__restrict top, const uint8_t *__restrict bottom, uint8_t *__restrict cb,
               uint8_t *__restrict cr, int halfWidth)
{
    for (int x = 0; x < halfWidth; ++x) {
        const uint8_t *t = top + 8 * x;
        const uint8_t *d = bottom + 8 * x;
        const int b = t[0] + t[4] + d[0] + d[4];
        const int g = t[1] + t[5] + d[1] + d[5];
        const int r = t[2] + t[6] + d[2] + d[6];
        cb[x] = uint8_t((kUR * r + kUG * g + kUB * b + kCOffset) >> (kBits + 2));
        cr[x] = uint8_t((kVR * r + kVG * g + kVB * b + kCOffset) >> (kBits + 2));
    }
}
#undef TAVLIN_VECTOR_CLONES
#undef TAVLIN_NO_CLONES
} // namespace bt709

struct FreeStorage {
    void operator()(uint8_t *p) const { std::free(p); }
};

constexpr int alignedTo64(int n)
{
    return (n + 63) & ~63;
}

} // namespace

// I420 at the coded size, in one block; rows aligned for vector loads.
struct X264Encoder::Picture final : H264Picture {
    Picture(int width, int height)
    {
        stride[0] = alignedTo64(width);
        stride[1] = stride[2] = alignedTo64(width / 2);
        const size_t lumaSize = size_t(stride[0]) * size_t(height);
        const size_t chromaSize = size_t(stride[1]) * size_t(height / 2);
        const size_t size = (lumaSize + 2 * chromaSize + 63) & ~size_t(63);
        storage.reset(static_cast<uint8_t *>(std::aligned_alloc(64, size)));
        if (storage) {
            plane[0] = storage.get();
            plane[1] = plane[0] + lumaSize;
            plane[2] = plane[1] + chromaSize;
        }
    }
    bool isValid() const { return bool(storage); }

    std::unique_ptr<uint8_t, FreeStorage> storage;
    uint8_t *plane[3] = {};
    int stride[3] = {};
};

namespace {

// The data-rate limit "at most so many bytes in so many seconds" as x264's
// VBV, in kbit/s and kbit.
struct X264RateLimit {
    int maxRateKbit = 0;
    int bufferKbit = 0;
    float initialFill = 1.0f; // share of the buffer full at the start
};

X264RateLimit x264RateLimit(int averageKbit, qint64 limitBytes, double limitSeconds)
{
    // "At most B bytes in any S seconds" as a VBV: a stretch of S seconds
    // carries at most what the buffer held at its start plus what flowed in
    // meanwhile, so buffer C and rate R keep C + R * S <= B. The buffer is
    // what a key frame may spend at once, so R is held as low as it may be:
    // the least whole kbit/s strictly above the average bit rate (at or below
    // it x264 codes at a constant bit rate), and C takes the rest of the
    // limit. The buffer starts full: the key frame that opens the
    // stream has all of it.
    const double limitKbit = double(limitBytes) * 8.0 / 1000.0;
    const double limitRate = limitKbit / limitSeconds;
    X264RateLimit limit;
    double rate = averageKbit > 0 ? averageKbit + 1.0 : limitRate * 0.5;
    // A limit with no room above the average holds all the same: the rate
    // gives way, and keeps a tenth of the limit for the buffer.
    rate = std::min(rate, std::floor(limitRate * 0.9));
    limit.maxRateKbit = int(std::max(1.0, rate));
    limit.bufferKbit = int(std::max(1.0, std::floor(limitKbit - limit.maxRateKbit * limitSeconds)));
    return limit;
}

} // namespace

X264Encoder::X264Encoder() = default;

X264Encoder::~X264Encoder()
{
    close();
}

static void applyRateControl(x264_param_t &p, const H264EncoderConfig &config)
{
    if (config.averageBitrate > 0) {
        p.rc.i_rc_method = X264_RC_ABR;
        p.rc.i_bitrate = int(std::max<qint64>(1, config.averageBitrate / 1000));
    }
    if (config.dataRateLimitBytes > 0 && config.dataRateLimitSeconds > 0) {
        const X264RateLimit limit = x264RateLimit(config.averageBitrate > 0 ? p.rc.i_bitrate : 0,
                                                  config.dataRateLimitBytes, config.dataRateLimitSeconds);
        p.rc.i_vbv_max_bitrate = limit.maxRateKbit;
        p.rc.i_vbv_buffer_size = limit.bufferKbit;
        p.rc.f_vbv_buffer_init = limit.initialFill;
    }
}

bool X264Encoder::open(const H264EncoderConfig &config, QString *error)
{
    close();
    auto fail = [error](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    if (config.width <= 0 || config.height <= 0 || config.width % 2 || config.height % 2)
        return fail(QStringLiteral("invalid coded size %1x%2").arg(config.width).arg(config.height));

    x264_param_t p;
    if (x264_param_default_preset(&p, "veryfast", "zerolatency") < 0)
        return fail(QStringLiteral("x264 preset unavailable"));

    p.i_log_level = X264_LOG_ERROR;
    p.i_width = config.width;
    p.i_height = config.height;
    p.i_csp = X264_CSP_I420;
    const int fps = config.fps > 0 ? config.fps : 20;
    p.i_fps_num = uint32_t(fps);
    p.i_fps_den = 1;
    // Rate control spreads the bit rate over the expected frame rate. Taking
    // it from the time stamps instead would hold every picture back until the
    // next one arrives, and a still screen sends none.
    p.i_timebase_num = 1;
    p.i_timebase_den = 1000;
    p.b_vfr_input = 0;

    // Zero latency: no reordering and no look-ahead, whatever was asked.
    p.i_bframe = 0;
    p.rc.i_lookahead = 0;
    p.i_sync_lookahead = 0;

    qint64 keyint = config.maxKeyframeInterval > 0 ? config.maxKeyframeInterval : p.i_keyint_max;
    if (config.maxKeyframeIntervalDuration > 0)
        keyint = std::min<qint64>(keyint, std::max<qint64>(1, std::llround(config.maxKeyframeIntervalDuration * fps)));
    if (!config.allowTemporalCompression)
        keyint = 1;
    p.i_keyint_max = int(std::clamp<qint64>(keyint, 1, X264_KEYINT_MAX_INFINITE));
    p.i_keyint_min = X264_KEYINT_MIN_AUTO;
    // Key frames come when the interval says so or when asked, not at scene cuts.
    p.i_scenecut_threshold = 0;
    p.b_intra_refresh = 0;

    applyRateControl(p, config);

    if (config.entropyMode == H264EntropyMode::CAVLC)
        p.b_cabac = 0;
    else if (config.entropyMode == H264EntropyMode::CABAC)
        p.b_cabac = 1;

    // Both conversions produce limited-range BT.709; the VUI says so.
    p.vui.i_colorprim = 1;
    p.vui.i_transfer = 1;
    p.vui.i_colmatrix = 1;
    p.vui.b_fullrange = 0;

    p.b_repeat_headers = 1;
    p.b_annexb = 0;
    p.b_aud = 0;

    const char *profile = nullptr;
    switch (config.profile) {
    case H264Profile::Baseline: profile = "baseline"; break;
    case H264Profile::Main: profile = "main"; break;
    case H264Profile::High: profile = "high"; break;
    case H264Profile::Automatic: break;
    }
    if (profile && x264_param_apply_profile(&p, profile) < 0)
        return fail(QStringLiteral("x264 profile %1 unavailable").arg(QLatin1String(profile)));

    m_encoder = x264_encoder_open(&p);
    if (!m_encoder)
        return fail(QStringLiteral("x264 could not open a %1x%2 encoder").arg(config.width).arg(config.height));
    m_config = config;

    x264_nal_t *nals = nullptr;
    int nalCount = 0;
    if (x264_encoder_headers(m_encoder, &nals, &nalCount) < 0) {
        close();
        return fail(QStringLiteral("x264 gave no parameter sets"));
    }
    for (int i = 0; i < nalCount; ++i) {
        if (nals[i].i_type == NAL_SPS)
            m_sps = withoutLengthPrefix(nals[i]);
        else if (nals[i].i_type == NAL_PPS)
            m_pps = withoutLengthPrefix(nals[i]);
    }
    return true;
}

bool X264Encoder::reconfigure(const H264EncoderConfig &config)
{
    if (!m_encoder)
        return false;
    x264_param_t p;
    x264_encoder_parameters(m_encoder, &p);
    applyRateControl(p, config);
    if (x264_encoder_reconfig(m_encoder, &p) < 0)
        return false;
    m_config.averageBitrate = config.averageBitrate;
    m_config.dataRateLimitBytes = config.dataRateLimitBytes;
    m_config.dataRateLimitSeconds = config.dataRateLimitSeconds;
    return true;
}

std::unique_ptr<H264Picture> X264Encoder::makePicture()
{
    if (!m_encoder)
        return {};
    auto picture = std::make_unique<Picture>(m_config.width, m_config.height);
    if (!picture->isValid())
        return {};
    return picture;
}

bool X264Encoder::prepareScaler(const VideoFrame &frame)
{
    if (m_scaler && m_scalerWidth == frame.width && m_scalerHeight == frame.height)
        return true;
    if (m_scaler) {
        sws_freeContext(m_scaler);
        m_scaler = nullptr;
    }
    SwsContext *scaler = sws_alloc_context();
    if (!scaler)
        return false;
    av_opt_set_int(scaler, "srcw", frame.width, 0);
    av_opt_set_int(scaler, "srch", frame.height, 0);
    av_opt_set_int(scaler, "src_format", AV_PIX_FMT_BGR0, 0);
    av_opt_set_int(scaler, "dstw", m_config.width, 0);
    av_opt_set_int(scaler, "dsth", m_config.height, 0);
    av_opt_set_int(scaler, "dst_format", AV_PIX_FMT_YUV420P, 0);
    av_opt_set_int(scaler, "sws_flags", SWS_BILINEAR, 0);
    // The conversion has a thread of its own beside the coding; slice
    // threads would cost more in wake-ups than they save.
    av_opt_set_int(scaler, "threads", 1, 0);
    if (sws_init_context(scaler, nullptr, nullptr) < 0) {
        sws_freeContext(scaler);
        return false;
    }
    // Full-range RGB in, limited-range BT.709 out, as the plain loop.
    const int *rgb = sws_getCoefficients(SWS_CS_DEFAULT);
    const int *yuv = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(scaler, rgb, 1, yuv, 0, 0, 1 << 16, 1 << 16);
    m_scaler = scaler;
    m_scalerWidth = frame.width;
    m_scalerHeight = frame.height;
    return true;
}

bool X264Encoder::convertFrame(const VideoFrame &frame, Picture &picture)
{
    if (!frame.isValid() || !picture.isValid())
        return false;
    if (frame.width == m_config.width && frame.height == m_config.height) {
        // The coded size is even, so rows and columns pair up.
        for (int y = 0; y < frame.height; y += 2) {
            const uint8_t *top = frame.data + size_t(y) * size_t(frame.stride);
            const uint8_t *bottom = top + frame.stride;
            bt709::lumaRow(top, picture.plane[0] + size_t(y) * size_t(picture.stride[0]), frame.width);
            bt709::lumaRow(bottom, picture.plane[0] + size_t(y + 1) * size_t(picture.stride[0]), frame.width);
            bt709::chromaRow(top, bottom, picture.plane[1] + size_t(y / 2) * size_t(picture.stride[1]),
                             picture.plane[2] + size_t(y / 2) * size_t(picture.stride[2]), frame.width / 2);
        }
        return true;
    }
    if (!prepareScaler(frame))
        return false;
    const uint8_t *source[4] = {frame.data, nullptr, nullptr, nullptr};
    const int sourceStride[4] = {frame.stride, 0, 0, 0};
    uint8_t *target[4] = {picture.plane[0], picture.plane[1], picture.plane[2], nullptr};
    const int targetStride[4] = {picture.stride[0], picture.stride[1], picture.stride[2], 0};
    return sws_scale(m_scaler, source, sourceStride, 0, frame.height, target, targetStride) == m_config.height;
}

bool X264Encoder::convert(const VideoFramePtr &frame, H264Picture &picture)
{
    return m_encoder && frame && convertFrame(*frame, static_cast<Picture &>(picture));
}

bool X264Encoder::encode(const VideoFrame &frame, qint64 pts, qint64 duration, bool forceKeyframe,
                         std::vector<H264EncodedFrame> &out)
{
    if (!m_encoder)
        return false;
    if (!m_picture)
        m_picture = std::make_unique<Picture>(m_config.width, m_config.height);
    if (!convertFrame(frame, *m_picture))
        return false;
    return encodePicture(*m_picture, pts, duration, forceKeyframe, out);
}

bool X264Encoder::encodePicture(H264Picture &converted, qint64 pts, qint64 duration, bool forceKeyframe,
                                std::vector<H264EncodedFrame> &out)
{
    if (!m_encoder)
        return false;
    auto &source = static_cast<Picture &>(converted);
    x264_picture_t picture;
    x264_picture_init(&picture);
    picture.img.i_csp = X264_CSP_I420;
    picture.img.i_plane = 3;
    for (int i = 0; i < 3; ++i) {
        picture.img.plane[i] = source.plane[i];
        picture.img.i_stride[i] = source.stride[i];
    }
    // x264 wants strictly rising time stamps; the submitted timing is given
    // back with the coded picture.
    picture.i_pts = m_havePts ? std::max<qint64>(pts, m_lastPts + 1) : pts;
    m_lastPts = picture.i_pts;
    m_havePts = true;
    picture.i_type = forceKeyframe ? X264_TYPE_IDR : X264_TYPE_AUTO;
    m_timings.push_back({picture.i_pts, pts, duration});

    x264_nal_t *nals = nullptr;
    int nalCount = 0;
    x264_picture_t coded;
    const int bytes = x264_encoder_encode(m_encoder, &nals, &nalCount, &picture, &coded);
    if (bytes < 0)
        return false;
    if (bytes > 0)
        collect(nals, nalCount, &coded, bytes, out);
    return true;
}

void X264Encoder::collect(void *nalList, int nalCount, const void *pictureOut, int frameSize,
                          std::vector<H264EncodedFrame> &out)
{
    auto *nals = static_cast<x264_nal_t *>(nalList);
    const auto *coded = static_cast<const x264_picture_t *>(pictureOut);
    if (nalCount <= 0)
        return;
    H264EncodedFrame frame;
    // x264 lays the units of one picture out back to back.
    frame.data = QByteArray(reinterpret_cast<const char *>(nals[0].p_payload), frameSize);
    frame.sps = m_sps;
    frame.pps = m_pps;
    frame.keyframe = coded->b_keyframe != 0;
    while (!m_timings.empty() && m_timings.front().index < coded->i_pts)
        m_timings.pop_front();
    if (!m_timings.empty() && m_timings.front().index == coded->i_pts) {
        frame.pts = m_timings.front().pts;
        frame.duration = m_timings.front().duration;
        m_timings.pop_front();
    }
    out.push_back(std::move(frame));
}

bool X264Encoder::flush(std::vector<H264EncodedFrame> &out)
{
    if (!m_encoder)
        return false;
    while (x264_encoder_delayed_frames(m_encoder) > 0) {
        x264_nal_t *nals = nullptr;
        int nalCount = 0;
        x264_picture_t coded;
        const int bytes = x264_encoder_encode(m_encoder, &nals, &nalCount, nullptr, &coded);
        if (bytes < 0)
            return false;
        if (bytes > 0)
            collect(nals, nalCount, &coded, bytes, out);
    }
    return true;
}

int X264Encoder::delayedFrames() const
{
    return m_encoder ? x264_encoder_delayed_frames(m_encoder) : 0;
}

bool X264Encoder::parameters(x264_param_t &out) const
{
    if (!m_encoder)
        return false;
    x264_encoder_parameters(m_encoder, &out);
    return true;
}

void X264Encoder::close()
{
    const bool wasOpen = m_encoder != nullptr;
    if (m_encoder) {
        x264_encoder_close(m_encoder);
        m_encoder = nullptr;
    }
    if (m_scaler) {
        sws_freeContext(m_scaler);
        m_scaler = nullptr;
    }
    m_picture.reset();
    m_scalerWidth = m_scalerHeight = 0;
    m_sps.clear();
    m_pps.clear();
#ifdef __GLIBC__
    // The encoder's pictures and lookahead (some 40 MiB at 1080p) were
    // allocated from the malloc arenas of its threads, which keep them once
    // freed; each new encoder (every change of rate or size) then grew the
    // process by several MiB. Handed back, the cast stays at one encoder's
    // worth.
    if (wasOpen)
        malloc_trim(0);
#else
    (void)wasOpen;
#endif
    m_timings.clear();
    m_havePts = false;
    m_lastPts = 0;
}

std::unique_ptr<H264Encoder> makeH264Encoder()
{
    // x264 asks for 2 MiB pages for each buffer of 1.75 MiB or more, among
    // them an 8 MiB output buffer for each slice thread, of which a slice
    // fills a few kilobytes: with those pages every one of them holds 2 MiB,
    // about 19 MiB of a 1080p cast in all. x264 is the only one in this
    // process that asks for such pages, so the process does without them.
    static std::once_flag once;
    std::call_once(once, [] { prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0); });
    return std::make_unique<X264Encoder>();
}

} // namespace Platform::Linux
