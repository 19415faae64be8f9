// Remote-input records from a hostile receiver: the decoder's framing and
// pairing, and the controller that acts on them, over an injector that
// checks what it is asked to post.
//
// Input: byte 0 chooses the read sizes and byte 1 the pause flag's pattern;
// the rest is the byte stream as it would arrive.

#include <QByteArray>
#include <QList>
#include <QRectF>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "Platform/InputInjector.h"
#include "Platform/KeyboardLayout.h"
#include "Platform/RemoteInputConsent.h"
#include "RemoteControl/RemoteController.h"
#include "RemoteControl/RemoteInputDecoder.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

class FixedConsent final : public Platform::RemoteInputConsent {
public:
    explicit FixedConsent(bool given) : m_given(given) {}
    bool isGiven() const override { return m_given; }
    void setGiven(bool given) override { m_given = given; }

private:
    bool m_given;
};

class CheckingInjector final : public Platform::InputInjector {
public:
    bool isTrusted() override { return false; }
    QPointF pointerLocation() override { return pointer; }
    QList<QRectF> displayBounds() override { return {QRectF(0, 0, 1920, 1080), QRectF(1920, -200, 1280, 1024)}; }
    QRectF mainDisplayBounds() override { return QRectF(0, 0, 1920, 1080); }
    void movePointer(QPointF to, Platform::PointerMotion) override
    {
        check(std::isfinite(to.x()) && std::isfinite(to.y()));
        pointer = to;
    }
    void postButton(Platform::MouseButton, bool, QPointF at, int) override
    {
        check(std::isfinite(at.x()) && std::isfinite(at.y()));
    }
    void postScroll(qint32 vertical, qint32 horizontal) override { check(vertical != 0 || horizontal != 0); }
    bool postKey(quint16 keyCode, bool, quint32 modifiers) override
    {
        check((modifiers & ~(Platform::KeyModifier::Shift | Platform::KeyModifier::Option)) == 0);
        return keyCode < 128;
    }
    void beep() override {}

    QPointF pointer{500, 500};
};

class SmallLayout final : public Platform::KeyboardLayout {
public:
    quint64 currentLayout() override { return 1; }
    QString translateKey(quint16 keyCode, quint32 modifiers) override
    {
        if (keyCode >= 48)
            return {};
        const char16_t base = modifiers & Platform::KeyModifier::Shift ? u'A' : u'a';
        const char16_t unit = char16_t(base + keyCode % 26 + (modifiers & Platform::KeyModifier::Option ? 200 : 0));
        return QString(QChar(unit));
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const size_t readSize = 1 + data[0] % 40;
    const uint8_t pausePattern = data[1];
    const QByteArray stream(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));

    // The decoder alone: every whole record comes out, nothing else.
    RemoteInputDecoder decoder;
    qsizetype records = 0;
    for (qsizetype offset = 0; offset < stream.size(); offset += qsizetype(readSize)) {
        decoder.append(QByteArrayView(stream).sliced(offset, std::min<qsizetype>(qsizetype(readSize), stream.size() - offset)));
        while (auto record = decoder.takeRecord()) {
            decoder.handle(*record, (pausePattern >> (records % 8)) & 1);
            ++records;
        }
        check(decoder.pendingBytes() < RemoteInputDecoder::kRecordSize);
    }
    check(records == stream.size() / RemoteInputDecoder::kRecordSize);

    // The controller acting on the same stream.
    TavlinGlobal::setIsPauseCast(pausePattern == 0xFF);
    RemoteControllerServices services;
    auto injector = std::make_shared<CheckingInjector>();
    services.injector = injector;
    services.keyboardLayout = std::make_shared<SmallLayout>();
    // Consent given or not, as the pattern says.
    services.consent = std::make_shared<FixedConsent>(pausePattern != 0x55);
    RemoteController controller(std::make_shared<Device>(), services);
    for (qsizetype offset = 0; offset < stream.size(); offset += qsizetype(readSize))
        controller.onSocketDidReadData(nullptr, stream.sliced(offset, std::min<qsizetype>(qsizetype(readSize), stream.size() - offset)), 0);
    controller.stopController();
    check(!controller.mouse1Clicked() && !controller.mouse2Clicked() && !controller.mouse3Clicked());
    TavlinGlobal::setIsPauseCast(false);
    return 0;
}
