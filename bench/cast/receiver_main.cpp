// The receiver's side of the cast bench, a program of its own: the casting
// process then maps none of the decoder's libraries, which the library
// never uses.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>
#include <QStandardPaths>

#include "ReceiverSide.h"

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption addressOption("address", "The receiver's loopback address.", "ip");
    const QCommandLineOption codeOption("code", "The casting code it asks for.", "code");
    parser.addOptions({addressOption, codeOption});
    parser.process(app);
    QStandardPaths::setTestModeEnabled(true);
    return runReceiverSide(QHostAddress(parser.value(addressOption)), parser.value(codeOption));
}
