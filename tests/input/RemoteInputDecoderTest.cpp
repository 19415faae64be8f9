#include <gtest/gtest.h>

#include <QList>
#include <limits>

#include "RecordBytes.h"
#include "RemoteControl/RemoteInputDecoder.h"

using Kind = RemoteInputAction::Kind;

namespace {

QList<RemoteInputRecord> drain(RemoteInputDecoder &decoder)
{
    QList<RemoteInputRecord> records;
    while (auto record = decoder.takeRecord())
        records.append(*record);
    return records;
}

QList<RemoteInputAction> actionsOf(const RecordList &records, bool paused = false)
{
    RemoteInputDecoder decoder;
    decoder.append(recordStream(records));
    QList<RemoteInputAction> actions;
    while (auto record = decoder.takeRecord())
        actions.append(decoder.handle(*record, paused));
    return actions;
}

} // namespace

TEST(RemoteInputDecoder, ReadsFourBigEndianFields)
{
    const QByteArray bytes = QByteArray::fromHex("00000005" "00000201" "6553f100" "3b9ac9ff");
    const RemoteInputRecord record = RemoteInputDecoder::decodeRecord(bytes.constData());
    EXPECT_EQ(record.type, 5u);
    EXPECT_EQ(record.value, 0x0201);
    EXPECT_EQ(record.tvSec, 0x6553f100u);
    EXPECT_EQ(record.tvNsec, 999999999u);

    const QByteArray negative = QByteArray::fromHex("00000007" "fffffffb" "00000000" "00000000");
    EXPECT_EQ(RemoteInputDecoder::decodeRecord(negative.constData()).value, -5);
    const QByteArray extremes = QByteArray::fromHex("ffffffff" "80000000" "ffffffff" "ffffffff");
    const RemoteInputRecord odd = RemoteInputDecoder::decodeRecord(extremes.constData());
    EXPECT_EQ(odd.type, 0xffffffffu);
    EXPECT_EQ(odd.value, std::numeric_limits<qint32>::min());
}

TEST(RemoteInputDecoder, FramesRecordsAcrossReads)
{
    RemoteInputDecoder decoder;
    const QByteArray stream = recordStream({{6, 10}, {7, -5}, {13, 0x41}});

    // A record split 10 + 6 comes out once, after its last byte.
    decoder.append(QByteArrayView(stream).first(10));
    EXPECT_TRUE(drain(decoder).isEmpty());
    EXPECT_EQ(decoder.pendingBytes(), 10);
    decoder.append(QByteArrayView(stream).sliced(10, 6));
    QList<RemoteInputRecord> records = drain(decoder);
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].type, 6u);
    EXPECT_EQ(records[0].value, 10);

    // The rest byte by byte.
    for (qsizetype i = 16; i < stream.size(); ++i) {
        decoder.append(QByteArrayView(stream).sliced(i, 1));
        records.append(drain(decoder));
    }
    ASSERT_EQ(records.size(), 3);
    EXPECT_EQ(records[1].value, -5);
    EXPECT_EQ(records[2].type, 13u);
    EXPECT_EQ(decoder.pendingBytes(), 0);

    // Two and a half records in one read leave the half waiting.
    decoder.append(stream + stream.first(8));
    EXPECT_EQ(drain(decoder).size(), 3);
    EXPECT_EQ(decoder.pendingBytes(), 8);
}

TEST(RemoteInputDecoder, PairsRecordsAsTheStreamDefines)
{
    struct Case {
        const char *name;
        RecordList records;
        QList<RemoteInputAction> expected;
    };
    const QList<Case> cases = {
        {"relative move", {{6, 10}, {7, -5}}, {{}, {Kind::RelativeMove, 10, -5}}},
        {"lone relative second half", {{5, 0}, {7, -5}}, {{Kind::MouseDown, 0}, {}}},
        {"absolute move", {{8, 5500}, {9, 5500}}, {{}, {Kind::AbsoluteMove, 5500, 5500}}},
        {"lone absolute second half", {{9, 5500}}, {{}}},
        {"key up after a key down", {{2, 12}, {8, 12}}, {{Kind::KeyDown, 12}, {Kind::KeyUp, 12}}},
        {"key up takes the second value", {{2, 0}, {8, 5500}, {9, 3000}},
         {{Kind::KeyDown, 0}, {Kind::KeyUp, 5500}, {Kind::AbsoluteMove, 5500, 3000}}},
        {"key up record", {{1, 36}}, {{Kind::KeyUp, 36}}},
        {"keyboard viewer", {{1, 0xFFC4}, {1, 0xFFC4}}, {{Kind::ToggleKeyboardViewer}, {Kind::ToggleKeyboardViewer}}},
        {"keyboard viewer only on key up", {{2, 0xFFC4}}, {{Kind::KeyDown, 0xFFC4}}},
        {"vertical scroll", {{10, 3}}, {{Kind::Scroll, 0, 3}}},
        {"two-axis scroll", {{14, 2}, {10, 0}}, {{}, {Kind::Scroll, 2, 0}}},
        {"scroll after another record", {{6, 2}, {10, 4}}, {{}, {Kind::Scroll, 0, 4}}},
        {"buttons", {{5, 0x0201}, {4, 0x0201}}, {{Kind::MouseDown, 0x0201}, {Kind::MouseUp, 0x0201}}},
        {"character", {{13, 0x1F600}}, {{Kind::Character, 0x1F600}}},
        {"inert and unknown types", {{0, 1}, {3, 1}, {11, 1}, {12, 1}, {15, 1}, {0xFFFFFFFF, 1}},
         {{}, {}, {}, {}, {}, {}}},
        {"unknown type breaks a pair", {{6, 1}, {99, 0}, {7, 1}}, {{}, {}, {}}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(actionsOf(c.records), c.expected) << c.name;
}

TEST(RemoteInputDecoder, PausedRecordsDoNothingButStillPair)
{
    RemoteInputDecoder decoder;
    const RemoteInputRecord first{6, 10};
    const RemoteInputRecord second{7, -5};
    EXPECT_EQ(decoder.handle(first, true), RemoteInputAction{});
    EXPECT_EQ(decoder.previousRecord(), first);
    EXPECT_EQ(decoder.handle(second, false), (RemoteInputAction{Kind::RelativeMove, 10, -5}));

    for (quint32 type = 0; type < 16; ++type)
        EXPECT_EQ(decoder.handle({type, 1}, true), RemoteInputAction{}) << type;
}
