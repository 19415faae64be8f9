#pragma once

// A receiver on loopback for the tests: one address, one identity, and any
// number of protocol components (search responder, handshake server, ...),
// each in its own files. Lives on the thread that creates it; see
// ReceiverEmulatorThread for one on a thread of its own.
//
// Adding a protocol: derive a ReceiverComponent in files of its own (bind
// emulator().address(), read emulator().profile()), and register it for the
// standalone program with a file-scope ReceiverComponentRegistration (see
// SearchResponder.cpp). Tests add it with emulator.addComponent<T>(...).

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

class ReceiverEmulator;

// What the receiver says about itself, shared by its components.
struct ReceiverProfile {
    QString name = QStringLiteral("Room A");
    qint64 features = 0x10100040;   // casting code set, master control, dynamic ports
    qint64 fps = 30;
    quint16 port = 8121;            // the port its search reply names
    bool unregistered = false;
};

// One protocol of the receiver. Components are made by the emulator
// (addComponent) on its thread and owned by it.
class ReceiverComponent : public QObject {
    Q_OBJECT
public:
    explicit ReceiverComponent(ReceiverEmulator &emulator);
    ~ReceiverComponent() override;

    // A short lower-case name: "search", "handshake", ...
    virtual QString componentName() const = 0;
    // Opens the component's sockets; false with a reason when it cannot.
    virtual bool start(QString *error) = 0;
    // Closes them; the component may be started again.
    virtual void stop() {}

    ReceiverEmulator &emulator() const { return m_emulator; }

private:
    ReceiverEmulator &m_emulator;
};

class ReceiverEmulator : public QObject {
    Q_OBJECT
public:
    explicit ReceiverEmulator(const QHostAddress &address, QObject *parent = nullptr);
    ~ReceiverEmulator() override;

    // The receiver's own address: its components bind it and reply from it.
    QHostAddress address() const { return m_address; }

    const ReceiverProfile &profile() const { return m_profile; }
    void setProfile(const ReceiverProfile &profile);

    // Makes a component of type C with (*this, args...); started at once when
    // the emulator runs.
    template <class C, class... Args>
    C *addComponent(Args &&...args)
    {
        auto *component = new C(*this, std::forward<Args>(args)...);
        adopt(component);
        return component;
    }
    void adopt(ReceiverComponent *component);

    template <class C>
    C *component() const
    {
        for (ReceiverComponent *candidate : m_components) {
            if (auto *match = dynamic_cast<C *>(candidate))
                return match;
        }
        return nullptr;
    }
    ReceiverComponent *component(const QString &name) const;
    QList<ReceiverComponent *> components() const { return m_components; }

    // Starts every component; false (and nothing left running) when one fails.
    bool start();
    void stop();
    bool isRunning() const { return m_running; }
    QString errorString() const { return m_error; }

signals:
    void profileChanged();

private:
    QHostAddress m_address;
    ReceiverProfile m_profile;
    QList<ReceiverComponent *> m_components;
    bool m_running = false;
    QString m_error;
};
