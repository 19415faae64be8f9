// screen-input click X Y | type TEXT | key return|backspace
// Posts a click or keys to the X display through the platform's input
// layer, so that a screenshot script can drive the program under Xvfb like a
// person would. Letters and digits only; upper-case letters are typed as
// lower-case keys.

#include <QCoreApplication>
#include <QHash>
#include <QThread>

#include "Platform/LinuxInput.h"

#include <cstdio>

namespace {

// The virtual key codes of the ANSI layout.
const QHash<QChar, quint16> &keyCodes()
{
    static const QHash<QChar, quint16> codes = {
        {u'a', 0},  {u's', 1},  {u'd', 2},  {u'f', 3},  {u'h', 4},  {u'g', 5},  {u'z', 6},  {u'x', 7},
        {u'c', 8},  {u'v', 9},  {u'b', 11}, {u'q', 12}, {u'w', 13}, {u'e', 14}, {u'r', 15}, {u'y', 16},
        {u't', 17}, {u'1', 18}, {u'2', 19}, {u'3', 20}, {u'4', 21}, {u'6', 22}, {u'5', 23}, {u'9', 25},
        {u'7', 26}, {u'8', 28}, {u'0', 29}, {u'o', 31}, {u'u', 32}, {u'i', 34}, {u'p', 35}, {u'l', 37},
        {u'j', 38}, {u'k', 40}, {u'n', 45}, {u'm', 46},
    };
    return codes;
}

constexpr quint16 ReturnKey = 36;
constexpr quint16 BackspaceKey = 51;

void tap(Platform::InputInjector &injector, quint16 code)
{
    injector.postKey(code, true, Platform::KeyModifier::None);
    injector.postKey(code, false, Platform::KeyModifier::None);
    QThread::msleep(30);
}

int usage()
{
    std::fprintf(stderr, "usage: screen-input click X Y | type TEXT | key return|backspace\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return usage();
    const std::shared_ptr<Platform::InputInjector> injector = Platform::Linux::makeInputBackend().injector;
    if (!injector->isTrusted()) {
        std::fprintf(stderr, "screen-input: no X display\n");
        return 1;
    }
    const QString command = args.at(1);
    if (command == QLatin1String("click") && args.size() == 4) {
        const QPointF at(args.at(2).toDouble(), args.at(3).toDouble());
        injector->movePointer(at, Platform::PointerMotion::Moved);
        QThread::msleep(50);
        injector->postButton(Platform::MouseButton::Left, true, at, 1);
        injector->postButton(Platform::MouseButton::Left, false, at, 1);
    } else if (command == QLatin1String("type") && args.size() == 3) {
        for (const QChar c : args.at(2).toLower()) {
            if (!keyCodes().contains(c)) {
                std::fprintf(stderr, "screen-input: cannot type '%s'\n", qPrintable(QString(c)));
                return 2;
            }
            tap(*injector, keyCodes().value(c));
        }
    } else if (command == QLatin1String("key") && args.size() == 3 && args.at(2) == QLatin1String("return")) {
        tap(*injector, ReturnKey);
    } else if (command == QLatin1String("key") && args.size() == 3 && args.at(2) == QLatin1String("backspace")) {
        tap(*injector, BackspaceKey);
    } else {
        return usage();
    }
    // Let the X server take the events before the connection closes.
    QThread::msleep(100);
    return 0;
}
