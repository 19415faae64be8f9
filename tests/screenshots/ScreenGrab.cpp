// screen-grab OUT.png [X Y W H]
// Saves the X display's screen, or the given area of it, as a PNG. Run it
// beside the program under Xvfb to take the README's screenshots.

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2 && args.size() != 6) {
        std::fprintf(stderr, "usage: screen-grab OUT.png [X Y W H]\n");
        return 2;
    }
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen) {
        std::fprintf(stderr, "screen-grab: no screen\n");
        return 1;
    }
    QPixmap shot = args.size() == 6
        ? screen->grabWindow(0, args[2].toInt(), args[3].toInt(), args[4].toInt(), args[5].toInt())
        : screen->grabWindow(0);
    if (shot.isNull() || !shot.save(args[1], "PNG")) {
        std::fprintf(stderr, "screen-grab: could not save %s\n", qPrintable(args[1]));
        return 1;
    }
    return 0;
}
