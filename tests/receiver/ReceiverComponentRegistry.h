#pragma once

// The protocol components the standalone emulator can run. Each component's
// own file registers it with a file-scope ReceiverComponentRegistration, so
// adding a protocol needs no change elsewhere.

#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <functional>

class ReceiverComponent;
class ReceiverEmulator;

struct ReceiverComponentFactory {
    QString name;          // as given to --components
    QString description;
    // Adds the component's own command-line options (may be empty).
    std::function<void(QCommandLineParser &)> addOptions;
    // Makes the component on `emulator` from the parsed options.
    std::function<ReceiverComponent *(ReceiverEmulator &, const QCommandLineParser &)> create;
};

class ReceiverComponentRegistry {
public:
    static void add(const ReceiverComponentFactory &factory);
    static QList<ReceiverComponentFactory> factories();
    static const ReceiverComponentFactory *find(const QString &name);
};

struct ReceiverComponentRegistration {
    explicit ReceiverComponentRegistration(const ReceiverComponentFactory &factory)
    {
        ReceiverComponentRegistry::add(factory);
    }
};
