// A receiver that floods the master-control session with lines that each ask
// for an answer, and never reads one: the session's queue stays bounded, the
// connection ends, and the session takes its ordinary road back.

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "LogCapture.h"
#include "MasterTestSupport.h"
#include "Socket/SocketErrors.h"

using namespace MasterTest;
using TestSupport::waitFor;

namespace {

// Accepts connections one after the other and writes "reportInfo" lines into
// each, with a heartbeat reply now and then so that the session stays alive,
// until the client ends the connection. Reads nothing, with a small receive
// buffer, so the answers pile up on the client's side. Runs on its own thread.
class FloodingReceiver {
public:
    explicit FloodingReceiver(const QHostAddress &address)
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        const int small = 4096;
        ::setsockopt(m_listener, SOL_SOCKET, SO_RCVBUF, &small, sizeof(small));
        sockaddr_in sin{};
        sin.sin_family = AF_INET;
        sin.sin_addr.s_addr = htonl(address.toIPv4Address());
        if (::bind(m_listener, reinterpret_cast<sockaddr *>(&sin), sizeof(sin)) != 0 || ::listen(m_listener, 4) != 0)
            return;
        socklen_t length = sizeof(sin);
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&sin), &length);
        m_port = ntohs(sin.sin_port);
        m_thread = std::thread([this] { run(); });
    }
    ~FloodingReceiver()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_listener);
    }

    quint16 port() const { return m_port; }
    int connections() const { return m_connections.load(); }
    // Connections the client ended while being flooded.
    int endedByClient() const { return m_endedByClient.load(); }

private:
    void run()
    {
        while (!m_stop) {
            pollfd wait{m_listener, POLLIN, 0};
            if (::poll(&wait, 1, 20) <= 0)
                continue;
            const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK);
            if (fd < 0)
                continue;
            ++m_connections;
            if (flood(fd))
                ++m_endedByClient;
            ::close(fd);
        }
    }

    // True when the client ended the connection.
    bool flood(int fd)
    {
        QByteArray block = "{\"replyHeartbeat\":\"N\",\"castMode\":1,\"multiScreen\":0,\"mirrorMode\":0,\"castState\":1}\n";
        block += QByteArray("{\"reportInfo\":\"N\"}\n").repeated(200);
        qsizetype offset = 0;
        while (!m_stop) {
            pollfd wait{fd, POLLOUT, 0};
            ::poll(&wait, 1, 20);
            if (wait.revents & (POLLERR | POLLHUP))
                return true;
            const ssize_t sent = ::send(fd, block.constData() + offset, size_t(block.size() - offset), MSG_NOSIGNAL);
            if (sent < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                    continue;
                return true;
            }
            offset = (offset + sent) % block.size();
        }
        return false;
    }

    int m_listener = -1;
    quint16 m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    std::atomic<int> m_endedByClient{0};
};

class MasterControlFloodTest : public MasterFixture {};

} // namespace

TEST_F(MasterControlFloodTest, AnswersTheReceiverNeverReadsAreBoundedAndEndTheConnection)
{
    const QHostAddress floodAddress = TestSupport::uniqueLoopbackAddress();
    FloodingReceiver flood(floodAddress);
    ASSERT_NE(flood.port(), 0);
    chosen->mHostIp = floodAddress.toString();
    DynamicPortTable::setDynamicPort_57395(flood.port());
    LogCapture log;

    TLMasterControlPack &p = makeSession();
    ASSERT_TRUE(p.startMasterControlPack());
    const QPointer<GCDAsyncSocket> first = p.masterControlSocket();
    ASSERT_TRUE(first);
    qsizetype mostReads = 0;
    qint64 highWater = 0;
    bool kernelBufferShrunk = false;
    const bool ended = waitFor(
        [&] {
            // Our side's kernel would otherwise take megabytes before any
            // answer has to wait with us.
            if (first && !kernelBufferShrunk && first->socketFD() >= 0) {
                const int small = 8192;
                kernelBufferShrunk = ::setsockopt(first->socketFD(), SOL_SOCKET, SO_SNDBUF, &small, sizeof(small)) == 0;
            }
            if (first) {
                mostReads = std::max(mostReads, first->pendingReads());
                highWater = std::max(highWater, first->waitingBytesHighWater());
            }
            return flood.endedByClient() >= 1;
        },
        30000);
    ASSERT_TRUE(ended) << "the flood went on; " << highWater << " bytes queued";
    if (first)
        highWater = std::max(highWater, first->waitingBytesHighWater());

    // Bounded: never more than the limit and one answer waited, and one
    // read at a time.
    EXPECT_GT(highWater, TcpSocketBase::kControlMaxWaitingBytes);
    EXPECT_LE(highWater, TcpSocketBase::kControlMaxWaitingBytes + 64);
    EXPECT_LE(mostReads, 1);
    EXPECT_GE(log.countContaining(QStringLiteral("takes no more of our bytes")), 1);

    // The ordinary road: the unanswered heartbeats bring a reconnect, and the
    // session lives on without a word to the application.
    ASSERT_TRUE(waitFor([&] { return flood.connections() >= 2; }, 20000));
    EXPECT_TRUE(TavlinGlobal::getIsConnecting());
    EXPECT_TRUE(recorder.events.filter(QStringLiteral("disconnect")).isEmpty());
    pack.reset();
}
