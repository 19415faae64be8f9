// The receiver emulator as a program, for manual runs and for tests that kill
// a receiver: one receiver on one address, with the chosen components.
//
//   receiver-emulator --address 127.0.0.5 --name "Room A" --features 10100040
//                     [--components search,...] [component options]
//
// Prints "receiver emulator ready on <address>" once every component listens.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>
#include <QTextStream>

#include "ReceiverComponentRegistry.h"
#include "ReceiverEmulator.h"

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("receiver-emulator"));

    QStringList componentNames;
    for (const ReceiverComponentFactory &factory : ReceiverComponentRegistry::factories())
        componentNames.append(factory.name);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A receiver for tests, on a loopback address."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("address"), QStringLiteral("The receiver's own address."),
                      QStringLiteral("address"), QStringLiteral("127.0.0.1")});
    parser.addOption({QStringLiteral("name"), QStringLiteral("The receiver's name."), QStringLiteral("name"),
                      ReceiverProfile{}.name});
    parser.addOption({QStringLiteral("features"), QStringLiteral("Feature bits, hexadecimal."),
                      QStringLiteral("hex"), QString::number(quint32(ReceiverProfile{}.features), 16)});
    parser.addOption({QStringLiteral("fps"), QStringLiteral("Frame rate it announces."), QStringLiteral("fps"),
                      QString::number(ReceiverProfile{}.fps)});
    parser.addOption({QStringLiteral("port"), QStringLiteral("Port its search reply names."),
                      QStringLiteral("port"), QString::number(ReceiverProfile{}.port)});
    parser.addOption({QStringLiteral("unregistered"), QStringLiteral("Announce itself as unregistered.")});
    parser.addOption({QStringLiteral("components"),
                      QStringLiteral("Comma-separated components to run (default: all of %1).")
                          .arg(componentNames.join(QLatin1Char(','))),
                      QStringLiteral("list")});
    for (const ReceiverComponentFactory &factory : ReceiverComponentRegistry::factories()) {
        if (factory.addOptions)
            factory.addOptions(parser);
    }
    parser.process(app);

    QTextStream err(stderr);
    const QHostAddress address(parser.value(QStringLiteral("address")));
    if (address.isNull()) {
        err << "not an address: " << parser.value(QStringLiteral("address")) << Qt::endl;
        return 2;
    }

    ReceiverProfile profile;
    bool ok = true;
    profile.name = parser.value(QStringLiteral("name"));
    profile.features = qint64(parser.value(QStringLiteral("features")).toUInt(&ok, 16));
    if (ok)
        profile.fps = parser.value(QStringLiteral("fps")).toLongLong(&ok);
    if (ok)
        profile.port = quint16(parser.value(QStringLiteral("port")).toUInt(&ok));
    if (!ok) {
        err << "bad --features, --fps or --port" << Qt::endl;
        return 2;
    }
    profile.unregistered = parser.isSet(QStringLiteral("unregistered"));

    ReceiverEmulator emulator(address);
    emulator.setProfile(profile);

    const QStringList chosen = parser.isSet(QStringLiteral("components"))
        ? parser.value(QStringLiteral("components")).split(QLatin1Char(','), Qt::SkipEmptyParts)
        : componentNames;
    for (const QString &name : chosen) {
        const ReceiverComponentFactory *factory = ReceiverComponentRegistry::find(name.trimmed());
        if (!factory) {
            err << "unknown component: " << name << " (known: " << componentNames.join(QLatin1Char(',')) << ")"
                << Qt::endl;
            return 2;
        }
        factory->create(emulator, parser);
    }
    if (!emulator.start()) {
        err << emulator.errorString() << Qt::endl;
        return 1;
    }

    QTextStream out(stdout);
    out << "receiver emulator ready on " << address.toString() << Qt::endl;
    return app.exec();
}
