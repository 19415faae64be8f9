#include <gtest/gtest.h>

#include <QByteArray>
#include <cmath>
#include <cstring>
#include <plist/plist.h>

#include "HostilePlists.h"
#include "PeakMemory.h"
#include "PlistBounds_p.h"
#include "Support/BoundedPlist.h"

using HostilePlists::binary;
using HostilePlists::containerMarker;
using HostilePlists::ref;
using Support::PlistBounds::binaryWithinBounds;
using Support::PlistBounds::xmlWithinBounds;

namespace {

Support::PlistPtr read(const QByteArray &bytes)
{
    return Support::readBoundedPlist(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

bool within(const QByteArray &bytes)
{
    const std::string_view view(bytes.constData(), std::size_t(bytes.size()));
    return bytes.startsWith("bplist00") ? binaryWithinBounds(view) : xmlWithinBounds(view);
}

// An array of `count` references to one leaf, `width` bytes each.
QByteArray flatShared(quint64 count, int width, const QByteArray &leaf = QByteArray("\x09"))
{
    QByteArray array = containerMarker(0xA, count);
    const QByteArray one = ref(1, width);
    array.reserve(array.size() + qsizetype(count) * width);
    for (quint64 i = 0; i < count; ++i)
        array += one;
    return binary({array, leaf}, width);
}

QByteArray xmlList(const QByteArray &values)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><array>" + values + "</array></plist>";
}

QByteArray binaryDate(double seconds)
{
    quint64 bits = 0;
    std::memcpy(&bits, &seconds, sizeof bits);
    return binary({QByteArray("\xA1\x01"), QByteArray("\x33") + ref(bits, 8)});
}

QByteArray binaryInteger16(quint64 high, quint64 low)
{
    return binary({QByteArray("\xA1\x01"), QByteArray("\x14") + ref(high, 8) + ref(low, 8)});
}

uint64_t firstInteger(const Support::PlistPtr &root)
{
    uint64_t value = 0;
    plist_get_uint_val(plist_array_get_item(root.get(), 0), &value);
    return value;
}

} // namespace

// References are counted as the tree libplist would build, without building
// it: every copy of a shared object counts, dictionary keys included.
TEST(BoundedPlist, CountsSharedReferencesExpandedAndRefusesBeyondAHundredThousandNodes)
{
    const QByteArray doubling = HostilePlists::sharedDoubling(21);
    const qint64 base = PeakMemory::start();
    EXPECT_EQ(doubling.size(), 127);
    EXPECT_FALSE(read(doubling));
    EXPECT_LT(PeakMemory::peak() - base, qint64(64) << 20);

    // 2^17 - 1 nodes are too many, 2^16 - 1 are not.
    EXPECT_FALSE(within(HostilePlists::sharedDoubling(16)));
    EXPECT_TRUE(within(HostilePlists::sharedDoubling(15)));
    // The bound itself: an array and its 99,999 copies of one value.
    EXPECT_TRUE(within(flatShared(99'999, 1)));
    EXPECT_FALSE(within(flatShared(100'000, 1)));
    // A dictionary whose 50,000 entries share one key and one value: the
    // keys count as well.
    QByteArray dictionary = containerMarker(0xD, 50'000);
    dictionary += QByteArray(50'000, '\x01') + QByteArray(50'000, '\x02');
    EXPECT_FALSE(within(binary({dictionary, QByteArray("\x51k"), QByteArray("\x09")})));

    // Sharing within the bounds reads as the expanded tree.
    const Support::PlistPtr small = read(HostilePlists::sharedDoubling(3));
    ASSERT_TRUE(small);
    plist_t node = small.get();
    for (int level = 0; level < 3; ++level) {
        ASSERT_EQ(plist_get_node_type(node), PLIST_ARRAY);
        ASSERT_EQ(plist_array_get_size(node), 2u);
        node = plist_array_get_item(node, 1);
    }
    EXPECT_EQ(plist_get_node_type(node), PLIST_UINT);
}

// Text and data shared many times would be copied as many times.
TEST(BoundedPlist, RefusesSharedTextAndDataBeyondTheirBound)
{
    QByteArray blob = containerMarker(0x4, 1 << 20);
    blob += QByteArray(1 << 20, 'x');
    EXPECT_TRUE(within(flatShared(20, 1, blob)));
    EXPECT_FALSE(within(flatShared(40, 1, blob)));
    // The list's own bytes always count in full.
    const Support::PlistPtr once = read(flatShared(1, 1, blob));
    ASSERT_TRUE(once);
    uint64_t length = 0;
    plist_get_data_ptr(plist_array_get_item(once.get(), 0), &length);
    EXPECT_EQ(length, uint64_t(1) << 20);
}

// Containers nest at most 512 deep in either form, however deep the bytes
// claim; libplist's recursion and its freeing stay well inside the stack.
TEST(BoundedPlist, RefusesNestingBeyond512InBothFormsAndLoops)
{
    for (const auto &nested : {&HostilePlists::nestedBinaryArrays, &HostilePlists::nestedXmlArrays}) {
        EXPECT_TRUE(read(nested(1)));
        EXPECT_TRUE(read(nested(512)));
        EXPECT_FALSE(read(nested(513)));
    }
    // About 100,000 binary arrays (0.9 MB), a million in XML (15 MB).
    EXPECT_FALSE(read(HostilePlists::nestedBinaryArrays(100'000)));
    EXPECT_FALSE(read(HostilePlists::nestedXmlArrays(1'000'000)));

    // A shared chain counts at every depth it is reached from: first at the
    // top, then again from under a second chain.
    const auto twoChains = [](int length) {
        QList<QByteArray> objects{QByteArray("\xA2") + ref(1, 2) + ref(quint64(1 + length), 2)};
        for (int i = 0; i < length; ++i) // the shared chain, objects 1..length
            objects.append(i + 1 < length ? QByteArray("\xA1") + ref(quint64(i + 2), 2) : QByteArray("\xA0"));
        for (int i = 0; i < length; ++i) // the second chain, its end holding the first
            objects.append(QByteArray("\xA1") + ref(i + 1 < length ? quint64(length + i + 2) : 1, 2));
        return binary(objects, 2);
    };
    EXPECT_TRUE(read(twoChains(200)));
    EXPECT_FALSE(read(twoChains(300)));

    // Loops: an array holding itself, two arrays holding each other, a
    // dictionary value holding the top.
    EXPECT_FALSE(read(binary({QByteArray("\xA1\x00")})));
    EXPECT_FALSE(read(binary({QByteArray("\xA1\x01"), QByteArray("\xA1\x00")})));
    EXPECT_FALSE(read(binary({QByteArray("\xA1\x01"), QByteArray("\xD1\x02\x00"), QByteArray("\x51k")})));
}

// Dictionary keys libplist aborts on, and bytes whose references point
// outside the list, are refused before libplist sees them.
TEST(BoundedPlist, RefusesKeysAndReferencesLibplistCannotFollow)
{
    const auto dictionaryWithKey = [](const QByteArray &key) {
        return binary({QByteArray("\xD1\x01\x02"), key, QByteArray("\x09")});
    };
    EXPECT_TRUE(read(dictionaryWithKey(QByteArray("\x51k"))));
    EXPECT_TRUE(read(dictionaryWithKey(QByteArray("\x61\x00k", 3))));
    EXPECT_FALSE(read(dictionaryWithKey(QByteArray("\x52k\x00", 3))));
    EXPECT_FALSE(read(dictionaryWithKey(QByteArray("\x61\x00\x00", 3))));
    EXPECT_FALSE(read(dictionaryWithKey(QByteArray("\x10\x01", 2))));
    // A reference past the last object, a top object past it, a count
    // larger than the bytes.
    EXPECT_FALSE(read(binary({QByteArray("\xA1\x05"), QByteArray("\x09")})));
    EXPECT_FALSE(read(binary({QByteArray("\xA0")}, 1, 3)));
    EXPECT_FALSE(read(binary({QByteArray("\x5F\x10\x7F") + "short"})));
    // Every cut of a good list is refused or read, never more.
    const QByteArray good = binary({QByteArray("\xA2\x01\x02"), QByteArray("\x51k"), QByteArray("\xD1\x01\x01")});
    ASSERT_TRUE(read(good));
    for (qsizetype cut = 0; cut < good.size(); ++cut)
        (void)read(good.left(cut));
}

// libplist 2.2 hands integers back as 64 unsigned bits and dates as 32-bit
// seconds with unsigned microseconds: values it cannot hand back as written
// are refused rather than read wrong.
TEST(BoundedPlist, RefusesIntegersAndDatesLibplistWouldChange)
{
    // Binary integers: 16 bytes hold the values from 2^63 up; libplist keeps
    // the low 8.
    EXPECT_FALSE(read(binaryInteger16(0, quint64(1) << 63)));
    EXPECT_FALSE(read(binaryInteger16(1, 5)));
    EXPECT_FALSE(read(binaryInteger16(~quint64(0), 5)));
    const Support::PlistPtr five = read(binaryInteger16(0, 5));
    ASSERT_TRUE(five);
    EXPECT_EQ(firstInteger(five), 5u);
    const Support::PlistPtr minusFive = read(binaryInteger16(~quint64(0), quint64(-5)));
    ASSERT_TRUE(minusFive);
    EXPECT_EQ(int64_t(firstInteger(minusFive)), -5);
    // An 8-byte UID beyond the signed range.
    EXPECT_FALSE(read(binary({QByteArray("\xA1\x01"), QByteArray("\x87") + ref(quint64(1) << 63, 8)})));

    // Binary dates.
    for (const double fits : {0.0, 0.5, -1.0, 1e9 + 0.25, -2147483648.0, 2147483647.75})
        EXPECT_TRUE(read(binaryDate(fits))) << fits;
    for (const double refused : {-0.5, -1.25, -2147483649.0, 2147483648.0, std::nan(""), double(INFINITY)})
        EXPECT_FALSE(read(binaryDate(refused))) << refused;

    // XML integers, in the bases libplist reads.
    for (const char *fits : {"9223372036854775807", "-9223372036854775808", "0x7FFFFFFFFFFFFFFF", "+5", " 12abc ",
                             "0777", ""})
        EXPECT_TRUE(read(xmlList(QByteArray("<integer>") + fits + "</integer>"))) << fits;
    for (const char *refused : {"9223372036854775808", "18446744073709551615", "18446744073709551616",
                                "-9223372036854775809", "0x8000000000000000", "01000000000000000000000"})
        EXPECT_FALSE(read(xmlList(QByteArray("<integer>") + refused + "</integer>"))) << refused;
    EXPECT_FALSE(read(xmlList("<integer>1<!-- -->9223372036854775808</integer>")));

    // XML dates: only the form property lists write, within 32-bit seconds.
    for (const char *fits : {"1932-12-13T20:45:52Z", "2069-01-19T03:14:07Z", "2001-01-01T00:00:00", "2024-02-29T12:30:15Z"})
        EXPECT_TRUE(read(xmlList(QByteArray("<date>") + fits + "</date>"))) << fits;
    for (const char *refused : {"1932-12-13T20:45:51Z", "2069-01-19T03:14:08Z", "1900-01-01T00:00:00Z",
                                "2100-01-01T00:00:00Z", "2001-01-01", "garbage", "2001-13-01T00:00:00Z", ""})
        EXPECT_FALSE(read(xmlList(QByteArray("<date>") + refused + "</date>"))) << refused;
    EXPECT_FALSE(read(xmlList("<date/>")));
}

// The XML scan follows markup as XML defines it: what comments, character
// data, instructions and document types hold is no element.
TEST(BoundedPlist, XmlMarkupThatHoldsNoElementsIsNotCounted)
{
    QByteArray comment = "<!--";
    for (int i = 0; i < 600; ++i)
        comment += "<array>";
    comment += "-->";
    EXPECT_TRUE(read(xmlList(comment + "<true/>")));
    EXPECT_TRUE(read(xmlList("<string><![CDATA[" + QByteArray(600 * 7, 'x').replace("xxxxxxx", "<array>")
                             + "]]></string>")));
    EXPECT_TRUE(read("<?xml version=\"1.0\"?><!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                     "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\"><plist version=\"1.0\"><dict>"
                     "<key>a</key><array><integer>1</integer></array></dict></plist>"));
    EXPECT_FALSE(read(xmlList("<!-- never closed <true/>")));
    EXPECT_FALSE(read(xmlList("<![CDATA[ never closed")));
    EXPECT_FALSE(read(xmlList("< true/>")));
    EXPECT_FALSE(read(xmlList("</array></array><true/>")));
}
