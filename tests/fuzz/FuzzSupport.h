#pragma once

// What the fuzz targets that drive whole sessions share: an application
// object made once, a quiet message handler, a reader of the input, and a
// peer on loopback that accepts connections and never says a word, so the
// sessions' own sockets reach nothing else while the bytes the receiver
// "sends" come from the input.

#include <QCoreApplication>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtGlobal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace FuzzSupport {

inline void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

// The process's application object and message silence; call from
// LLVMFuzzerInitialize.
inline void initialize()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *app = new QCoreApplication(argc, argv);
    (void)app;
    qInstallMessageHandler(quiet);
}

// Lets libFuzzer make inputs of up to `maxLen` bytes (its own default is 4
// KiB) unless the command line names a length; call from
// LLVMFuzzerInitialize, which runs before libFuzzer reads its flags.
inline void allowInputsUpTo(int *argc, char ***argv, size_t maxLen)
{
    for (int i = 1; i < *argc; ++i) {
        if (std::strncmp((*argv)[i], "-max_len=", 9) == 0)
            return;
    }
    static std::string flag;
    static std::vector<char *> args;
    flag = "-max_len=" + std::to_string(maxLen);
    args.assign(*argv, *argv + *argc);
    args.push_back(flag.data());
    args.push_back(nullptr);
    *argc += 1;
    *argv = args.data();
}

// Takes the input a piece at a time; past its end every read gives zeros.
class Input {
public:
    Input(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}

    bool atEnd() const { return m_pos >= m_size; }
    uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    // Up to `length` bytes, fewer at the end of the input.
    QByteArray bytes(size_t length)
    {
        const size_t n = std::min(length, m_size - std::min(m_pos, m_size));
        QByteArray piece(reinterpret_cast<const char *>(m_data + m_pos), static_cast<qsizetype>(n));
        m_pos += n;
        return piece;
    }
    // A piece whose length is the next byte.
    QByteArray chunk() { return bytes(byte()); }
    QByteArray rest() { return bytes(m_size); }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// Listens on 127.0.0.1 on a port of its own, takes every connection and
// ignores it; drop() closes what it took.
class SilentPeer {
public:
    SilentPeer()
    {
        if (!m_server.listen(QHostAddress::LocalHost, 0))
            std::abort();
    }
    quint16 port() const { return m_server.serverPort(); }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    void drop()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            socket->abort();
            delete socket;
        }
    }

private:
    QTcpServer m_server;
};

// Runs what the event loop has waiting, a few rounds.
inline void runEvents()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace FuzzSupport
