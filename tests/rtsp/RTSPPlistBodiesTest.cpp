#include <gtest/gtest.h>

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

TEST(RTSPPlistBodies, DataPortFromAReplyThatPlistlibWrote)
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
        // Ports that would send sound somewhere wrong, or nowhere.
        {R"({"streams": [{"dataPort": 0}]})", std::nullopt},
        {R"({"streams": [{"dataPort": 70000}]})", std::nullopt},
        {R"({"streams": [{"dataPort": -1}]})", std::nullopt},
        {R"({"streams": [{"dataPort": 2**63 - 1}]})", std::nullopt},
        {R"({"streams": [{"dataPort": "7011"}]})", std::nullopt},
        {R"({"streams": [{"dataPort": 7011.0}]})", std::nullopt},
        {R"({"streams": [{"type": 96}]})", std::nullopt},
        {R"({"streams": []})", std::nullopt},
        {R"({"streams": [7011]})", std::nullopt},
        {R"({"streams": {"dataPort": 7011}})", std::nullopt},
        {R"({"dataPort": 7011})", std::nullopt},
        {R"([{"dataPort": 7011}])", std::nullopt},
    };
    for (const Case &c : cases) {
        const QByteArray body = PlistOracle::encodeBinary(QString::fromUtf8(c.python));
        ASSERT_TRUE(body.startsWith("bplist00")) << c.python;
        EXPECT_EQ(audioDataPort(body), c.port) << c.python;
    }
}

TEST(RTSPPlistBodies, DataPortRefusesWhatIsNotABinaryPropertyList)
{
    if (havePython()) {
        const QByteArray xml = PlistOracle::encodeXml(QStringLiteral(R"({"streams": [{"dataPort": 7011}]})"));
        ASSERT_TRUE(xml.startsWith("<?xml"));
        EXPECT_FALSE(audioDataPort(xml));
    }
    EXPECT_FALSE(audioDataPort({}));
    EXPECT_FALSE(audioDataPort("bplist00"));
    EXPECT_FALSE(audioDataPort("bplist00" + QByteArray(40, '\xff')));
    EXPECT_FALSE(audioDataPort(R"({"streams":[{"dataPort":7011}]})"));

    // Every truncation of a good body is refused, never misread.
    if (havePython()) {
        const QByteArray good = PlistOracle::encodeBinary(QStringLiteral(R"({"streams": [{"dataPort": 7011}]})"));
        ASSERT_EQ(audioDataPort(good), std::optional<quint16>(7011));
        for (qsizetype n = 0; n < good.size(); ++n)
            EXPECT_FALSE(audioDataPort(good.left(n))) << n;
    }
}
