#include "RemoteControl/RemoteController.h"

#include <QDebug>
#include <QPointer>
#include <algorithm>
#include <limits>

#include "Mirror/TickCount.h"
#include "Utils/TavlinGlobal/DynamicPortTable.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"

using Platform::KeyModifier::Option;
using Platform::KeyModifier::Shift;
using Platform::MouseButton;
using Platform::PointerMotion;

namespace {

qint64 monotonicMilliseconds()
{
    return qint64(GetTickCount64());
}

// The wheel turns the other way round from the receiver's amounts.
qint32 negated(qint32 amount)
{
    return amount == std::numeric_limits<qint32>::min() ? std::numeric_limits<qint32>::max() : -amount;
}

// A point lies on a display as far as its left and top edges reach, not
// its right and bottom ones.
bool displayHolds(const QRectF &display, QPointF point)
{
    return point.x() >= display.left() && point.x() < display.left() + display.width()
        && point.y() >= display.top() && point.y() < display.top() + display.height();
}

// Key codes travel as 16-bit values; anything wider is not a key.
std::optional<quint16> keyCodeOf(qint32 value)
{
    if (value < 0 || value > 0xFFFF)
        return std::nullopt;
    return static_cast<quint16>(value);
}

constexpr quint32 kTableStates[] = {0, Shift, Option, Shift | Option};

} // namespace

RemoteControllerServices RemoteControllerServices::fromPlatform(const Platform::PlatformServices &platform)
{
    RemoteControllerServices services;
    services.injector = platform.inputInjector;
    services.keyboardLayout = platform.keyboardLayout;
    services.store = platform.store;
    services.consent = platform.remoteInputConsent;
    return services;
}

RemoteController::RemoteController(DevicePtr device, RemoteControllerServices services, QObject *parent)
    : QObject(parent), mServices(std::move(services)), mDevice(std::move(device)),
      mRemoteSocket(new AsyncSocket(this, this))
{
    mRemoteSocket->setControlConnectionLimits();
    if (mServices.store)
        mIsFirstTime = mServices.store->value(QString::fromLatin1(kAskFirstTimeKey)).toInt() == 1;
}

RemoteController::~RemoteController()
{
    mRemoteSocket->setDelegate(nullptr);
    mRemoteSocket->disconnect();
    releaseHeldInput();
}

void RemoteController::startController()
{
    mStopped = false;
    mDropLogged = false;
    const qint64 port = DynamicPortTable::getDynamicPort_52020();
    if (!mDevice || port <= 0 || port > 0xFFFF)
        return;
    mRemoteSocket->setDelegate(this);
    if (!mRemoteSocket->connectToHost(mDevice->mHostIp, static_cast<quint16>(port),
                                      mServices.timings.connectTimeoutMs))
        return;
    mRemoteSocket->readDataWithTimeout(-1, 0);
}

void RemoteController::stopController()
{
    mStopped = true;
    mRemoteSocket->disconnect();
    mRemoteSocket->setDelegate(nullptr);
    releaseHeldInput();
}

void RemoteController::onSocketDidReadData(AsyncSocket *, const QByteArray &data, qint64)
{
    if (mStopped)
        return;
    mReceiveData.append(data);
    // Asked at every read, so that a consent given during the cast takes
    // effect at once.
    const bool allowed = mServices.consent && mServices.consent->isGiven();
    if (!allowed && !mDropLogged && mReceiveData.pendingBytes() >= RemoteInputDecoder::kRecordSize) {
        mDropLogged = true;
        qInfo().noquote() << "remote input from the receiver is dropped: the user has not allowed it";
    }
    QPointer<RemoteController> self(this);
    while (const std::optional<RemoteInputRecord> record = mReceiveData.takeRecord()) {
        // A dropped record still counts as the previous one, as under pause.
        perform(mReceiveData.handle(*record, !allowed || TavlinGlobal::getIsPauseCast()));
        // A listener of the keyboard toggle may have stopped or dropped us.
        if (!self || mStopped)
            return;
    }
    mRemoteSocket->readDataWithTimeout(-1, 0);
    checkAccessibility();
}

void RemoteController::onSocketDidDisconnect(AsyncSocket *)
{
    // The receiver is gone mid-gesture: nothing it pressed may stay down.
    releaseHeldInput();
}

void RemoteController::perform(const RemoteInputAction &action)
{
    using Kind = RemoteInputAction::Kind;
    switch (action.kind) {
    case Kind::None:
        break;
    case Kind::KeyUp:
        keyUp(action.first);
        break;
    case Kind::KeyDown:
        keyDown(action.first);
        break;
    case Kind::ToggleKeyboardViewer:
        toggleKeyboardViewerIfDue();
        break;
    case Kind::MouseUp:
        mouseUp(action.first);
        break;
    case Kind::MouseDown:
        mouseDown(action.first);
        break;
    case Kind::RelativeMove:
        mouseMoveX(action.first, action.second);
        break;
    case Kind::AbsoluteMove:
        mouseMovePercentX(action.first, action.second);
        break;
    case Kind::Scroll:
        scrollWheelW(action.first, action.second);
        break;
    case Kind::Character:
        simulateKeyWithUnichar(action.first);
        break;
    }
}

void RemoteController::toggleKeyboardViewerIfDue()
{
    const qint64 now = monotonicMilliseconds();
    if (mCurTime && now - *mCurTime <= mServices.timings.keyboardViewerIntervalMs)
        return;
    mCurTime = now;
    emit toggleKeyboardViewer();
}

bool RemoteController::isTrusted() const
{
    return mServices.consent && mServices.consent->isGiven() && mServices.injector
        && mServices.injector->isTrusted();
}

void RemoteController::checkAccessibility()
{
    // Only the flags change; asking the user is the program's business.
    if (isTrusted())
        return;
    if (mIsFirstTime) {
        if (mServices.store)
            mServices.store->setValue(QString::fromLatin1(kAskFirstTimeKey), 0);
        mIsFirstTime = false;
    } else if (!mHasAskedPermission) {
        mHasAskedPermission = true;
    }
}

void RemoteController::releaseHeldInput()
{
    if (!mServices.injector)
        return;
    Platform::InputInjector &injector = *mServices.injector;
    for (const quint16 key : std::as_const(mHeldKeys))
        injector.postKey(key, false, 0);
    mHeldKeys.clear();
    if (mMouse1Clicked || mMouse2Clicked || mMouse3Clicked) {
        const QPointF at = injector.pointerLocation();
        if (mMouse1Clicked)
            injector.postButton(MouseButton::Left, false, at, 1);
        if (mMouse2Clicked)
            injector.postButton(MouseButton::Right, false, at, 1);
        if (mMouse3Clicked)
            injector.postButton(MouseButton::Other, false, at, 1);
    }
    mMouse1Clicked = mMouse2Clicked = mMouse3Clicked = false;
}

PointerMotion RemoteController::currentMotion() const
{
    if (mMouse1Clicked)
        return PointerMotion::LeftDragged;
    if (mMouse2Clicked)
        return PointerMotion::RightDragged;
    if (mMouse3Clicked)
        return PointerMotion::OtherDragged;
    return PointerMotion::Moved;
}

void RemoteController::mouseDown(qint32 value)
{
    postMouseButton(value, true);
}

void RemoteController::mouseUp(qint32 value)
{
    postMouseButton(value, false);
}

// The low byte names the button (0 left, 1 right, any other the third), the
// rest is the click count.
void RemoteController::postMouseButton(qint32 value, bool down)
{
    if (!mServices.injector)
        return;
    const int button = value & 0xFF;
    const int clickCount = value >> 8;
    const QPointF at = mServices.injector->pointerLocation();
    if (button == 0) {
        mMouse1Clicked = down;
        mServices.injector->postButton(MouseButton::Left, down, at, clickCount);
    } else if (button == 1) {
        mMouse2Clicked = down;
        mServices.injector->postButton(MouseButton::Right, down, at, clickCount);
    } else {
        mMouse3Clicked = down;
        mServices.injector->postButton(MouseButton::Other, down, at, clickCount);
    }
}

QPointF RemoteController::getMousePointWithDeltaX(qint32 dx, qint32 dy)
{
    Platform::InputInjector &injector = *mServices.injector;
    const QPointF current = injector.pointerLocation();
    QPointF point = current;
    if (dx != 0 || dy != 0)
        point += QPointF(dx, dy);

    const QList<QRectF> displays = injector.displayBounds();
    const auto holds = [&](QPointF p) {
        return std::any_of(displays.cbegin(), displays.cend(), [&](const QRectF &d) { return displayHolds(d, p); });
    };
    if (holds(point))
        return point;
    QRectF bounds = injector.mainDisplayBounds();
    for (const QRectF &display : displays) {
        if (displayHolds(display, current)) {
            bounds = display;
            break;
        }
    }
    if (bounds.isEmpty())
        return point;
    const auto clamp = [](qreal v, qreal low, qreal high) { return std::max(low, std::min(v, high)); };
    point.setX(clamp(point.x(), bounds.left(), bounds.left() + bounds.width() - 1));
    point.setY(clamp(point.y(), bounds.top(), bounds.top() + bounds.height() - 1));
    return point;
}

QPointF RemoteController::getMousePointWithPercentX(qint32 x, qint32 y)
{
    Platform::InputInjector &injector = *mServices.injector;
    if (x == 0 && y == 0)
        return injector.pointerLocation();
    const QRectF main = injector.mainDisplayBounds();
    const float xRatio = static_cast<float>(x) / kPercentScale;
    const float yRatio = static_cast<float>(y) / kPercentScale;
    return QPointF(main.left() + main.width() * xRatio, main.top() + main.height() * yRatio);
}

void RemoteController::mouseMoveX(qint32 dx, qint32 dy)
{
    if (!mServices.injector)
        return;
    mServices.injector->movePointer(getMousePointWithDeltaX(dx, dy), currentMotion());
}

void RemoteController::mouseMovePercentX(qint32 x, qint32 y)
{
    if (!mServices.injector)
        return;
    mServices.injector->movePointer(getMousePointWithPercentX(x, y), currentMotion());
}

void RemoteController::scrollWheelW(qint32 horizontal, qint32 vertical)
{
    if (!mServices.injector || (horizontal == 0 && vertical == 0))
        return;
    mServices.injector->postScroll(negated(vertical), negated(horizontal));
}

void RemoteController::scrollWheelZ(qint32 vertical)
{
    scrollWheelW(0, vertical);
}

void RemoteController::keyDown(qint32 value)
{
    const std::optional<quint16> key = keyCodeOf(value);
    if (!mServices.injector || !key)
        return;
    if (mServices.injector->postKey(*key, true, 0))
        mHeldKeys.insert(*key);
}

void RemoteController::keyUp(qint32 value)
{
    const std::optional<quint16> key = keyCodeOf(value);
    if (!mServices.injector || !key)
        return;
    mServices.injector->postKey(*key, false, 0);
    mHeldKeys.remove(*key);
}

void RemoteController::simulateKeyWithUnichar(qint32 unit)
{
    if (!mServices.injector)
        return;
    if (unit < 0 || unit > 0xFFFF) {
        mServices.injector->beep();
        return;
    }
    prepareTables();
    if (mCurrentKeyboardLayout == 0)
        return;
    const quint16 key = mCharToKey[static_cast<char16_t>(unit)];
    if (key == kNoKey)
        return;
    const quint32 state = mCharToMod[static_cast<char16_t>(unit)];
    quint32 flags = 0;
    if (state & Option)
        flags |= Option;
    if (state & Shift)
        flags |= Shift;
    mServices.injector->postKey(key, true, flags);
    mServices.injector->postKey(key, false, flags);
}

void RemoteController::prepareTables()
{
    Platform::KeyboardLayout *layout = mServices.keyboardLayout.get();
    const quint64 current = layout ? layout->currentLayout() : 0;
    if (current == 0) {
        mCurrentKeyboardLayout = 0;
        return;
    }
    if (current == mCurrentKeyboardLayout)
        return;
    mCurrentKeyboardLayout = current;
    mCharToKey.assign(0x10000, kNoKey);
    mCharToMod.assign(0x10000, 0);
    // Plain keys first: a character reachable without modifiers keeps its plain key.
    for (const quint32 state : kTableStates) {
        for (quint16 key = 0; key < 128; ++key) {
            const QString text = layout->translateKey(key, state);
            if (text.size() != 1)
                continue;
            const char16_t unit = text.at(0).unicode();
            if (mCharToKey[unit] == kNoKey) {
                mCharToKey[unit] = key;
                mCharToMod[unit] = state;
            }
        }
    }
    if (mCharToKey[u'\n'] == kNoKey)
        mCharToKey[u'\n'] = kLineFeedKey;
}
