#include <gtest/gtest.h>

#include "HostilePlists.h"
#include "PeakMemory.h"
#include "PlistOracle.h"
#include "Rtsp/RTSPPlistBodies.h"
#include "TestSupport.h"

using namespace RTSPPlistBodies;

namespace {

bool havePython()
{
    return TestSupport::requireFacility("python3 with plistlib", PlistOracle::available());
}

} // namespace

TEST(RTSPPlistBodies, PlistlibReadsOurBodiesWithTheirTypes)
{
    if (!havePython())
        return;
    EXPECT_EQ(PlistOracle::decode(videoSetupBody("alice")),
              PlistOracle::tagged(R"({"streams":[{"type":{"int":110},"MacOSXStream":{"bool":true},
                                    "machine_name":{"data":"616c696365"},"showKeyboardMenu":{"bool":true}}]})"));
    // A name outside ASCII travels as its UTF-8 bytes.
    EXPECT_EQ(PlistOracle::decode(videoSetupBody(QStringLiteral("Zoë的Mac").toUtf8())),
              PlistOracle::tagged(R"({"streams":[{"type":{"int":110},"MacOSXStream":{"bool":true},
                                    "machine_name":{"data":"5a6fc3abe79a844d6163"},"showKeyboardMenu":{"bool":true}}]})"));
    EXPECT_EQ(PlistOracle::decode(audioSetupBody()),
              PlistOracle::tagged(R"({"streams":[{"type":{"int":96},"audioFormat":{"int":16777216}}]})"));
    EXPECT_EQ(PlistOracle::decode(teardownBody()),
              PlistOracle::tagged(R"({"streams":[{"type":{"int":110}}]})"));
}

TEST(RTSPPlistBodies, BodiesAreBinaryPropertyLists)
{
    for (const QByteArray &body : {videoSetupBody("x"), audioSetupBody(), teardownBody()})
        EXPECT_TRUE(body.startsWith("bplist00"));
}

TEST(RTSPPlistBodies, DataPortFromAReplyThatPlistlibWroteInEitherForm)
{
    if (!havePython())
        return;
    struct Case {
        const char *python;
        std::optional<quint16> port;
    };
    const Case cases[] = {
        {R"({"streams": [{"dataPort": 7011}]})", 7011},
        {R"({"streams": [{"dataPort": 1, "type": 96, "extra": b"x"}], "other": "y"})", 1},
        {R"({"streams": [{"dataPort": 65535}]})", 65535},
        {R"({"streams": [{"dataPort": 7011}, {"dataPort": 9}]})", 7011},
        // A whole number in another dress.
        {R"({"streams": [{"dataPort": 7011.0}]})", 7011},
        {R"({"streams": [{"dataPort": 65535.0}]})", 65535},
        {R"({"streams": [{"dataPort": "7011"}]})", 7011},
        {R"({"streams": [{"dataPort": " 7011 "}]})", 7011},
        // Ports that would send sound somewhere wrong, or nowhere.
        {R"({"streams": [{"dataPort": 0}]})", std::nullopt},
        {R"({"streams": [{"dataPort": 70000}]})", std::nullopt},
        {R"({"streams": [{"dataPort": 65536 + 7011}]})", std::nullopt},
        {R"({"streams": [{"dataPort": -1}]})", std::nullopt},
        {R"({"streams": [{"dataPort": 2**63 - 1}]})", std::nullopt},
        {R"({"streams": [{"dataPort": 2**64 - 1}]})", std::nullopt},
        {R"({"streams": [{"dataPort": 7011.5}]})", std::nullopt},
        {R"({"streams": [{"dataPort": 0.0}]})", std::nullopt},
        {R"({"streams": [{"dataPort": -7011.0}]})", std::nullopt},
        {R"({"streams": [{"dataPort": float("nan")}]})", std::nullopt},
        {R"({"streams": [{"dataPort": float("inf")}]})", std::nullopt},
        {R"({"streams": [{"dataPort": 1e300}]})", std::nullopt},
        {R"({"streams": [{"dataPort": "70000"}]})", std::nullopt},
        {R"({"streams": [{"dataPort": "7011abc"}]})", std::nullopt},
        {R"({"streams": [{"dataPort": "0x1b63"}]})", std::nullopt},
        {R"({"streams": [{"dataPort": ""}]})", std::nullopt},
        {R"({"streams": [{"dataPort": True}]})", std::nullopt},
        {R"({"streams": [{"dataPort": b"\x1b\x63"}]})", std::nullopt},
        {R"({"streams": [{"dataPort": [7011]}]})", std::nullopt},
        {R"({"streams": [{"type": 96}]})", std::nullopt},
        {R"({"streams": []})", std::nullopt},
        {R"({"streams": [7011]})", std::nullopt},
        {R"({"streams": {"dataPort": 7011}})", std::nullopt},
        {R"({"dataPort": 7011})", std::nullopt},
        {R"([{"dataPort": 7011}])", std::nullopt},
    };
    QStringList literals;
    for (const Case &c : cases)
        literals << QString::fromUtf8(c.python);
    const QList<QPair<QByteArray, QByteArray>> encoded = PlistOracle::encodeBoth(literals);
    ASSERT_EQ(encoded.size(), literals.size());
    for (qsizetype i = 0; i < literals.size(); ++i) {
        const Case &c = cases[i];
        const auto &[binary, xml] = encoded[i];
        ASSERT_TRUE(binary.startsWith("bplist00")) << c.python;
        EXPECT_EQ(audioDataPort(binary), c.port) << "binary " << c.python;
        ASSERT_TRUE(xml.startsWith("<?xml")) << c.python;
        EXPECT_EQ(audioDataPort(xml), c.port) << "XML " << c.python;
    }
}

TEST(RTSPPlistBodies, DataPortRefusesWhatIsNotAPropertyList)
{
    EXPECT_FALSE(audioDataPort({}));
    EXPECT_FALSE(audioDataPort("bplist00"));
    EXPECT_FALSE(audioDataPort("bplist00" + QByteArray(40, '\xff')));
    EXPECT_FALSE(audioDataPort(R"({"streams":[{"dataPort":7011}]})"));
    EXPECT_FALSE(audioDataPort("<?xml version=\"1.0\"?><plist><dict><key>streams"));
    EXPECT_FALSE(audioDataPort(QByteArray(4000, '<')));

    // Every truncation of a good body is refused or read right, never misread.
    if (havePython()) {
        const auto [binary, xml] = PlistOracle::encodeBoth({QStringLiteral(R"({"streams": [{"dataPort": 7011}]})")}).value(0);
        for (const QByteArray &good : {binary, xml}) {
            ASSERT_EQ(audioDataPort(good), std::optional<quint16>(7011));
            for (qsizetype n = 0; n < good.size(); ++n) {
                const std::optional<quint16> port = audioDataPort(good.left(n));
                EXPECT_TRUE(!port || *port == 7011) << n << " of " << good.left(20).toStdString();
                if (good.startsWith("bplist00")) {
                    EXPECT_FALSE(port) << n;
                }
            }
        }
    }
}

// Any receiver can send the reply: lists that would expand beyond the
// reader's bounds, nest too deep, or hold a key the library aborts on give
// no port, and nothing is built for them.
TEST(RTSPPlistBodies, DataPortRefusesHostileListsBeforeExpandingThem)
{
    using HostilePlists::binary;
    const QByteArray shared = HostilePlists::sharedDoubling(21);
    const QByteArray deepBinary = HostilePlists::nestedBinaryArrays(100'000);
    const QByteArray deepXml = HostilePlists::nestedXmlArrays(1'000'000);
    const qint64 base = PeakMemory::start();
    EXPECT_FALSE(audioDataPort(shared));
    EXPECT_FALSE(audioDataPort(deepBinary));
    EXPECT_FALSE(audioDataPort(deepXml));
    EXPECT_LT(PeakMemory::peak() - base, qint64(64) << 20);

    // {"streams": [{"dataPort": 7011, <second key>: 1}]}
    const auto reply = [](const QByteArray &secondKey) {
        return binary({QByteArray("\xD1\x01\x02"), QByteArray("\x57streams"), QByteArray("\xA1\x03"),
                       QByteArray("\xD2\x04\x05\x06\x07"), QByteArray("\x58" "dataPort"), secondKey,
                       QByteArray("\x11\x1B\x63"), QByteArray("\x10\x01")});
    };
    EXPECT_EQ(audioDataPort(reply(QByteArray("\x51" "a"))), std::optional<quint16>(7011));
    EXPECT_FALSE(audioDataPort(reply(QByteArray("\x52" "a\x00", 3))));
    EXPECT_FALSE(audioDataPort(reply(QByteArray("\x10\x02", 2))));
}
