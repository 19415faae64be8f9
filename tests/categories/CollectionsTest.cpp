#include <gtest/gtest.h>

#include "CategoryVectors.h"
#include "HostilePlists.h"
#include "PeakMemory.h"
#include "Categories/RVArray.h"
#include "Categories/RVDictionary.h"
#include "Categories/RVEncoding.h"
#include "Categories/RVSort.h"

#include <QDateTime>
#include <QPoint>
#include <QSet>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace {

// A value as the vector script tags it: {"integer": "12"}, {"dict": {...}}...
QVariant untagged(const QJsonValue &tagged)
{
    const QJsonObject object = tagged.toObject();
    const QString kind = object.keys().value(0);
    const QJsonValue value = object.value(kind);
    if (kind == QLatin1String("bool"))
        return value.toBool();
    if (kind == QLatin1String("integer"))
        return value.toString().toLongLong();
    if (kind == QLatin1String("real"))
        return value.toDouble();
    if (kind == QLatin1String("string"))
        return value.toString();
    if (kind == QLatin1String("data"))
        return QByteArray::fromHex(value.toString().toLatin1());
    if (kind == QLatin1String("date"))
        return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(value.toDouble()), Qt::UTC);
    if (kind == QLatin1String("array")) {
        QVariantList list;
        for (const QJsonValue &item : value.toArray())
            list.append(untagged(item));
        return list;
    }
    QVariantMap map;
    const QJsonObject entries = value.toObject();
    for (auto it = entries.begin(); it != entries.end(); ++it)
        map.insert(it.key(), untagged(it.value()));
    return map;
}

std::optional<QVariant> decoded(const QByteArray &bytes)
{
    if (const auto list = rv_arrayWithPlistData(bytes))
        return QVariant(*list);
    if (const auto map = rv_dictionaryWithPlistData(bytes))
        return QVariant(*map);
    return std::nullopt;
}

// Python's plistlib reads what we wrote, one property list a line of hex
// in, one line of JSON out, with bytes and dates spelled out so that both
// sides compare as text.
QList<QByteArray> plistlibReadings(const QList<QByteArray> &plists)
{
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"), QStringLiteral(R"(import sys, plistlib, json, datetime
def plain(v):
    if isinstance(v, bytes): return {"data": v.hex()}
    if isinstance(v, datetime.datetime): return {"date": v.isoformat()}
    if isinstance(v, list): return [plain(x) for x in v]
    if isinstance(v, dict): return {k: plain(x) for k, x in v.items()}
    return v
for line in sys.stdin:
    print(json.dumps(plain(plistlib.loads(bytes.fromhex(line.strip()))), sort_keys=True))
)")});
    for (const QByteArray &plist : plists)
        python.write(plist.toHex() + '\n');
    python.closeWriteChannel();
    // The case's own time limit bounds the wait.
    python.waitForFinished(-1);
    return python.readAllStandardOutput().trimmed().split('\n');
}

QVariantList texts(std::initializer_list<const char *> items)
{
    QVariantList list;
    for (const char *item : items)
        list.append(QString::fromLatin1(item));
    return list;
}

QStringList asTexts(const QVariantList &list)
{
    QStringList out;
    for (const QVariant &item : list)
        out.append(item.toString());
    return out;
}

using InPlaceSort = std::function<void(QVariantList &, bool)>;

// All eight sorts behind one signature; bubble sort hands back a copy.
std::vector<std::pair<const char *, InPlaceSort>> allSorts()
{
    using namespace RVMutableArray;
    return {
        {"bubble", [](QVariantList &a, bool down) { a = bubbleSortWithDataSource(a, down); }},
        {"selection", [](QVariantList &a, bool down) { selectionSortWithDataSource(a, down); }},
        {"heap", [](QVariantList &a, bool down) { heapSort(a, down); }},
        {"quick", [](QVariantList &a, bool down) { quickSort(a, down); }},
        {"insert", [](QVariantList &a, bool down) { insertSort(a, down); }},
        {"shell", [](QVariantList &a, bool down) { shellSort(a, down); }},
        {"merge", [](QVariantList &a, bool down) { mergeSort(a, down); }},
        {"radix", [](QVariantList &a, bool down) { radixSort(a, down); }},
    };
}

QList<qint64> integerValues(const QVariantList &list)
{
    QList<qint64> values;
    for (const QVariant &item : list)
        values.append(item.typeId() == QMetaType::QString ? item.toString().toLongLong() : item.toLongLong());
    return values;
}

} // namespace

TEST(RvPlist, ReadsPlistlibOutputInBothFormatsAndWritesWhatPlistlibReads)
{
    const QJsonArray vectors = categoryVectors("plist.json", "plists");
    ASSERT_GE(vectors.size(), 8);
    if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
        GTEST_SKIP() << "python3 is needed as the independent reader";
    QList<QByteArray> references;
    QList<QByteArray> ours;
    for (const QJsonValue &value : vectors) {
        const QJsonObject entry = value.toObject();
        const QVariant expected = untagged(entry.value(QLatin1String("value")));
        const QByteArray binary = hexField(entry, "binary");
        const QByteArray xml = entry.value(QLatin1String("xml")).toString().toUtf8();
        SCOPED_TRACE(xml.toStdString());
        EXPECT_EQ(decoded(binary), expected);
        EXPECT_EQ(decoded(xml), expected);

        std::optional<QByteArray> written;
        std::optional<QString> writtenXml;
        if (expected.typeId() == QMetaType::QVariantList) {
            written = rv_plistData(expected.toList());
            writtenXml = rv_plistString(expected.toList());
            EXPECT_EQ(rv_arrayWithPlistString(*writtenXml), expected.toList());
        } else {
            written = rv_plistData(expected.toMap());
            writtenXml = rv_plistString(expected.toMap());
            EXPECT_EQ(rv_dictionaryWithPlistString(*writtenXml), expected.toMap());
        }
        ASSERT_TRUE(written && writtenXml);
        EXPECT_TRUE(written->startsWith("bplist00"));
        EXPECT_EQ(decoded(*written), expected);
        // What we write, plistlib reads as it reads its own output.
        references << binary << binary;
        ours << *written << writtenXml->toUtf8();
    }
    // One interpreter for both sides: starting one is slow on a busy machine.
    const QList<QByteArray> readings = plistlibReadings(references + ours);
    ASSERT_EQ(readings.size(), references.size() + ours.size());
    EXPECT_EQ(readings.mid(references.size()), readings.first(references.size()));
}

TEST(RvPlist, RefusesOtherRootsHostileBytesAndValuesWithoutAPlistForm)
{
    const QByteArray dictionary = *rv_plistData(QVariantMap{{QStringLiteral("k"), 1}});
    const QByteArray array = *rv_plistData(QVariantList{1});
    EXPECT_FALSE(rv_arrayWithPlistData(dictionary).has_value());
    EXPECT_FALSE(rv_dictionaryWithPlistData(array).has_value());
    EXPECT_FALSE(rv_arrayWithPlistString(QString()).has_value());
    EXPECT_FALSE(rv_dictionaryWithPlistString(QStringLiteral("")).has_value());

    // Truncations and corruptions of a valid binary list.
    const QByteArray good = *rv_plistData(QVariantList{QStringLiteral("text"), 2, 3.5, QVariantMap{{QStringLiteral("a"), true}}});
    for (qsizetype cut = 0; cut < good.size(); ++cut)
        (void)decoded(good.left(cut));
    QRandomGenerator random(7);
    for (int round = 0; round < 2000; ++round) {
        QByteArray damaged = good;
        damaged[random.bounded(static_cast<int>(damaged.size()))] = static_cast<char>(random.bounded(256));
        (void)decoded(damaged);
    }
    // An array that holds itself: offset table entry 0 points at an array
    // whose one element is object 0.
    QByteArray cyclic("bplist00");
    cyclic.append("\xA1\x00", 2);                       // array of one element: object 0
    cyclic.append(static_cast<char>(8));                // offset table
    cyclic.append(QByteArray(6, '\0'));                 // trailer: unused, sort version
    cyclic.append(static_cast<char>(1));                // offset size
    cyclic.append(static_cast<char>(1));                // object reference size
    cyclic.append(QByteArray(7, '\0') + '\x01');        // one object
    cyclic.append(QByteArray(8, '\0'));                 // top object 0
    cyclic.append(QByteArray(7, '\0') + '\x0A');        // offset table at byte 10
    EXPECT_FALSE(rv_arrayWithPlistData(cyclic).has_value());

    // A key holding NUL (written by plistlib) is refused, not handed to a
    // reader that aborts on it.
    EXPECT_FALSE(rv_dictionaryWithPlistData(QByteArray::fromHex(
        "62706c6973743030d10102536100621001080b0f0000000000000101000000000000000300000000000000000000000000000011")).has_value());
    // A date between milliseconds reads the same after a write and a read.
    const auto dated = rv_arrayWithPlistData(QByteArray::fromHex(
        "62706c6973743030a10133400467000431bde8080a0000000000000101000000000000000200000000000000000000000000000013"));
    ASSERT_TRUE(dated.has_value());
    EXPECT_EQ(dated->value(0).toDateTime().toMSecsSinceEpoch() % 1000, 550);
    EXPECT_EQ(rv_arrayWithPlistData(*rv_plistData(*dated)), dated);

    // Nesting far beyond any document is refused, not a stack overflow.
    const QByteArray deep = "<plist><array>" + QByteArray(20000, 'x').replace('x', "<array>")
        + QByteArray(20000, 'x').replace('x', "</array>") + "</array></plist>";
    EXPECT_FALSE(rv_arrayWithPlistData(deep).has_value());
    EXPECT_FALSE(rv_arrayWithPlistData("<plist><array><integer>1</array></plist>").has_value());
    EXPECT_FALSE(rv_arrayWithPlistData("not a property list at all").has_value());

    // Values a property list cannot hold.
    EXPECT_FALSE(rv_plistData(QVariantList{QVariant()}).has_value());
    EXPECT_FALSE(rv_plistData(QVariantList{QVariant::fromValue(nullptr)}).has_value());
    EXPECT_FALSE(rv_plistString(QVariantMap{{QStringLiteral("k"), QVariant::fromValue(QPoint(1, 2))}}).has_value());
    EXPECT_FALSE(rv_plistData(QVariantList{QString::fromUtf16(u"a\u0000b", 3)}).has_value());
    EXPECT_FALSE(rv_plistData(QVariantList{std::numeric_limits<quint64>::max()}).has_value());
}

// Dates outside the 32-bit seconds around 2001 and integers from 2^63 up
// would read back as other values: every reader refuses the whole list, in
// either form, as plistlib writes them.
TEST(RvPlist, RefusesDatesAndIntegersTheLibraryCannotHandBack)
{
    const QJsonArray refused = categoryVectors("plist.json", "refused");
    ASSERT_GE(refused.size(), 6);
    for (const QJsonValue &value : refused) {
        const QByteArray binary = hexField(value.toObject(), "binary");
        const QByteArray xml = value.toObject().value(QLatin1String("xml")).toString().toUtf8();
        SCOPED_TRACE(xml.toStdString());
        for (const QByteArray &bytes : {binary, xml}) {
            EXPECT_FALSE(rv_arrayWithPlistData(bytes).has_value());
            EXPECT_FALSE(rv_dictionaryWithPlistData(bytes).has_value());
        }
        EXPECT_FALSE(rv_arrayWithPlistString(QString::fromUtf8(xml)).has_value());
        EXPECT_FALSE(rv_dictionaryWithPlistString(QString::fromUtf8(xml)).has_value());
    }
    // Writing refuses them too, and so a date before 2001 between whole
    // seconds, which the library would read back on the wrong side of its
    // second.
    const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    EXPECT_FALSE(rv_plistData(QVariantList{reference.addMSecs(-500)}).has_value());
    EXPECT_FALSE(rv_plistData(QVariantList{reference.addSecs(-2147483649LL)}).has_value());
    EXPECT_FALSE(rv_plistString(QVariantList{reference.addSecs(2147483648LL)}).has_value());
    for (const QDateTime &fits : {reference.addSecs(-2147483648LL), reference.addSecs(-1), reference.addMSecs(500)}) {
        const auto written = rv_plistData(QVariantList{fits});
        ASSERT_TRUE(written.has_value());
        EXPECT_EQ(rv_arrayWithPlistData(*written), QVariantList{fits});
    }
}

// A list of 127 bytes whose arrays each hold the next one twice would
// expand to millions of values; it and deep nesting are refused before the
// library builds anything.
TEST(RvPlist, HostileListsAreRefusedWithinBoundedMemory)
{
    const QByteArray shared = HostilePlists::sharedDoubling(21);
    const QByteArray deepBinary = HostilePlists::nestedBinaryArrays(100'000);
    const QByteArray deepXml = HostilePlists::nestedXmlArrays(1'000'000);
    ASSERT_EQ(shared.size(), 127);
    const qint64 base = PeakMemory::start();
    for (const QByteArray &bytes : {shared, deepBinary, deepXml}) {
        EXPECT_FALSE(rv_arrayWithPlistData(bytes).has_value());
        EXPECT_FALSE(rv_dictionaryWithPlistData(bytes).has_value());
    }
    EXPECT_FALSE(rv_arrayWithPlistString(QString::fromUtf8(deepXml)).has_value());
    EXPECT_LT(PeakMemory::peak() - base, qint64(64) << 20);
    // Within the bounds, sharing and nesting read as usual.
    const QVariantList leaves{qint64(0), qint64(0)};
    EXPECT_EQ(rv_arrayWithPlistData(HostilePlists::sharedDoubling(2)),
              (QVariantList{leaves, leaves}));
    EXPECT_TRUE(rv_arrayWithPlistData(HostilePlists::nestedXmlArrays(512)).has_value());
}

TEST(RvJsonEncoded, WritesOnlyJsonGraphs)
{
    const QVariantList list{QStringLiteral("a/b"), 1, 2.5, true, QVariant::fromValue(nullptr),
                            QVariantMap{{QStringLiteral("k"), QVariantList{}}}};
    for (const std::optional<QString> &text : {rv_jsonStringEncoded(list), rv_jsonPrettyStringEncoded(list)}) {
        ASSERT_TRUE(text.has_value());
        EXPECT_EQ(rv_jsonValueDecoded(text->toUtf8()).toList(), list);
    }
    EXPECT_FALSE(rv_jsonStringEncoded(list)->contains(QLatin1Char('\n')));
    EXPECT_TRUE(rv_jsonPrettyStringEncoded(list)->contains(QLatin1Char('\n')));
    const QVariantMap map{{QStringLiteral("x"), QStringList{QStringLiteral("y")}}};
    EXPECT_EQ(rv_jsonValueDecoded(rv_jsonString(map)->toUtf8()).toMap().value(QStringLiteral("x")).toList(),
              QVariantList{QStringLiteral("y")});
    EXPECT_TRUE(rv_jsonPrettyString(map).has_value());

    EXPECT_FALSE(rv_jsonStringEncoded({std::nan("")}).has_value());
    EXPECT_FALSE(rv_jsonStringEncoded({std::numeric_limits<double>::infinity()}).has_value());
    EXPECT_FALSE(rv_jsonStringEncoded({QByteArray("bytes")}).has_value());
    EXPECT_FALSE(rv_jsonStringEncoded({QVariant()}).has_value());
    EXPECT_FALSE(rv_jsonString({{QStringLiteral("when"), QDateTime::currentDateTime()}}).has_value());
    EXPECT_FALSE(rv_jsonPrettyString({{QStringLiteral("deep"), QVariantList{QVariantList{std::nan("")}}}}).has_value());
}

TEST(RvArrayCategory, EmptyTestsAndMutatorsNeverFailOnEdges)
{
    EXPECT_TRUE(RVArray::rv_isEmpty(QVariant()));
    EXPECT_TRUE(RVArray::rv_isEmpty(QVariantMap{{QStringLiteral("a"), 1}}));
    EXPECT_TRUE(RVArray::rv_isEmpty(QStringLiteral("text")));
    EXPECT_TRUE(RVArray::rv_isEmpty(QVariantList()));
    EXPECT_FALSE(RVArray::rv_isEmpty(QVariantList{1}));
    EXPECT_FALSE(RVArray::rv_isEmpty(QStringList{QStringLiteral("a")}));
    EXPECT_TRUE(RVDictionary::rv_isEmpty(QVariantList{1}));
    EXPECT_TRUE(RVDictionary::rv_isEmpty(QVariantMap()));
    EXPECT_FALSE(RVDictionary::rv_isEmpty(QVariantMap{{QStringLiteral("a"), 1}}));
    EXPECT_FALSE(RVDictionary::rv_isEmpty(QVariantHash{{QStringLiteral("a"), 1}}));

    QVariantList empty;
    rv_removeFirstObject(empty);
    rv_removeLastObject(empty);
    EXPECT_FALSE(rv_popFirstObject(empty).has_value());
    EXPECT_FALSE(rv_popLastObject(empty).has_value());
    EXPECT_FALSE(rv_randomObject(empty).has_value());
    rv_shuffle(empty);
    rv_reverse(empty);
    EXPECT_TRUE(empty.isEmpty());

    QVariantList list{1, 2, 3};
    rv_appendObject(list, QVariant());
    rv_prependObject(list, QVariant());
    EXPECT_EQ(list.size(), 3);
    rv_prependObject(list, QVariant(0));
    rv_appendObject(list, QVariant(4));
    EXPECT_EQ(list, (QVariantList{0, 1, 2, 3, 4}));
    rv_reverse(list);
    EXPECT_EQ(list, (QVariantList{4, 3, 2, 1, 0}));
    EXPECT_EQ(rv_popFirstObject(list), QVariant(4));
    EXPECT_EQ(rv_popLastObject(list), QVariant(0));
    rv_prependObjects(list, QVariantList{7, 8});
    rv_appendObjects(list, QVariantList{9});
    rv_appendObjects(list, QVariantList());
    EXPECT_EQ(list, (QVariantList{7, 8, 3, 2, 1, 9}));
    rv_insertObjects(list, QVariantList{5, 6}, 2);
    EXPECT_EQ(list, (QVariantList{7, 8, 5, 6, 3, 2, 1, 9}));
    rv_insertObjects(list, QVariantList{0}, 8);
    EXPECT_EQ(list.last(), QVariant(0));
    rv_insertObjects(list, QVariantList{100}, 10);
    rv_insertObjects(list, QVariantList{100}, std::numeric_limits<quint64>::max());
    EXPECT_FALSE(list.contains(QVariant(100)));
    rv_removeFirstObject(list);
    rv_removeLastObject(list);
    EXPECT_EQ(list, (QVariantList{8, 5, 6, 3, 2, 1, 9}));

    QStringList one{QStringLiteral("only")};
    rv_shuffle(one);
    EXPECT_EQ(one, QStringList{QStringLiteral("only")});
    QList<int> many;
    for (int i = 0; i < 100; ++i)
        many.append(i);
    QList<int> shuffled = many;
    rv_shuffle(shuffled);
    EXPECT_NE(shuffled, many);
    std::sort(shuffled.begin(), shuffled.end());
    EXPECT_EQ(shuffled, many);
    QSet<int> seen;
    for (int i = 0; i < 2000; ++i)
        seen.insert(*rv_randomObject(many));
    EXPECT_EQ(seen.size(), 100);
}

TEST(RvSorts, EverySortOrdersTextsAndNumbersBothWays)
{
    for (const auto &[name, sort] : allSorts()) {
        SCOPED_TRACE(name);
        QVariantList up = texts({"3", "1", "2"});
        sort(up, false);
        EXPECT_EQ(asTexts(up), QStringList({"1", "2", "3"}));
        QVariantList down = texts({"3", "1", "2"});
        sort(down, true);
        EXPECT_EQ(asTexts(down), QStringList({"3", "2", "1"}));

        QVariantList none;
        sort(none, false);
        EXPECT_TRUE(none.isEmpty());
        QVariantList single{QVariant(42)};
        sort(single, true);
        EXPECT_EQ(single, QVariantList{42});
        if (QByteArray(name) == "radix")
            continue;
        QVariantList numbers{5, -3, 12, 0, 5, 3000000000LL, -3000000000LL, 7};
        sort(numbers, false);
        EXPECT_EQ(integerValues(numbers), (QList<qint64>{-3000000000LL, -3, 0, 5, 5, 7, 12, 3000000000LL}));
        sort(numbers, true);
        EXPECT_EQ(integerValues(numbers), (QList<qint64>{3000000000LL, 12, 7, 5, 5, 0, -3, -3000000000LL}));
    }
}

TEST(RvSorts, LargeRandomArraysMatchStdSortAndKeepEveryElement)
{
    QRandomGenerator random(11);
    for (const auto &[name, sort] : allSorts()) {
        SCOPED_TRACE(name);
        const bool digitsOnly = QByteArray(name) == "radix";
        QVariantList array;
        QList<qint64> expected;
        for (int i = 0; i < 600; ++i) {
            const qint64 value = digitsOnly ? random.bounded(100000) : random.bounded(-50000, 50000);
            array.append(i % 2 ? QVariant(QString::number(value)) : QVariant(value));
            expected.append(value);
        }
        std::sort(expected.begin(), expected.end());
        sort(array, false);
        EXPECT_EQ(integerValues(array), expected);
        sort(array, true);
        std::reverse(expected.begin(), expected.end());
        EXPECT_EQ(integerValues(array), expected);
    }
    // Sorted input is quick sort's worst pivot; it must not exhaust the stack.
    QVariantList ascending;
    for (int i = 0; i < 100000; ++i)
        ascending.append(i);
    RVMutableArray::quickSort(ascending, true);
    EXPECT_EQ(ascending.first(), QVariant(99999));
    EXPECT_EQ(ascending.last(), QVariant(0));
}

TEST(RvSorts, EachSortKeepsItsOwnContract)
{
    using namespace RVMutableArray;
    const QVariantList source = texts({"3", "1", "2"});
    const QVariantList copy = bubbleSortWithDataSource(source, false);
    EXPECT_EQ(asTexts(source), QStringList({"3", "1", "2"}));
    EXPECT_EQ(asTexts(copy), QStringList({"1", "2", "3"}));
    QVariantList inPlace = source;
    EXPECT_EQ(&selectionSortWithDataSource(inPlace, false), &inPlace);

    QVariantList padded = texts({"5", "12", "7"});
    radixSort(padded, false);
    EXPECT_EQ(asTexts(padded), QStringList({"05", "07", "12"}));
    EXPECT_EQ(getArrayInMaxNumber(texts({"5", "12", "7"})), QVariant(QStringLiteral("12")));
    EXPECT_EQ(getArrayInMaxNumber(texts({"-5", "-1"})), QVariant(QStringLiteral("0")));

    // Insertion sort moves the elements themselves, types and fractions kept.
    QVariantList mixed{2, 1, 2.5, QStringLiteral("abc")};
    insertSort(mixed, false);
    EXPECT_EQ(mixed, (QVariantList{QStringLiteral("abc"), 1, 2.5, 2}));

    // Merge sort is stable: equal values keep their order.
    QVariantList stable{QStringLiteral("2a"), QStringLiteral("1"), QStringLiteral("2b"), QStringLiteral("0")};
    mergeSort(stable, false);
    EXPECT_EQ(asTexts(stable), QStringList({"0", "1", "2a", "2b"}));

    // Helpers clip what lies outside the array.
    QVariantList small{3, 2, 1};
    quickSort(small, qint64(-5), qint64(50));
    mergeSort(small, qint64(2), qint64(-1));
    merge(small, 0, 99, 99);
    HeapAdjust(small, -1, 100);
    HeapAdjust(small, 7, 3);
    EXPECT_EQ(small, (QVariantList{1, 2, 3}));
    // Radix sort keeps elements that are no digit texts.
    QVariantList odd{QVariantMap(), QStringLiteral("-4"), QStringLiteral("x9"), 3};
    radixSort(odd, false);
    EXPECT_EQ(odd.size(), 4);
    EXPECT_TRUE(odd.contains(QVariant(QVariantMap())));
}

TEST(RvDictionaryCategory, TypedReadsFollowTheTextRulesAndDefaults)
{
    const QVariantMap d{
        {QStringLiteral("null"), QVariant::fromValue(nullptr)},
        {QStringLiteral("no"), QStringLiteral("no")},
        {QStringLiteral("nullText"), QStringLiteral("NULL")},
        {QStringLiteral("yes"), QStringLiteral("Yes")},
        {QStringLiteral("two"), 2},
        {QStringLiteral("zeroText"), QStringLiteral("0")},
        {QStringLiteral("real"), QStringLiteral("3.7")},
        {QStringLiteral("array"), QVariantList{1}},
        {QStringLiteral("exp"), QStringLiteral("1e5")},
        {QStringLiteral("half"), QStringLiteral("2.5")},
        {QStringLiteral("big"), 300},
        {QStringLiteral("huge"), 1e300},
        {QStringLiteral("negative"), -3.7},
        {QStringLiteral("junk"), QStringLiteral("junk")},
        {QStringLiteral("five"), 5},
        {QStringLiteral("text"), QStringLiteral("words")},
        {QStringLiteral("map"), QVariantMap()},
        {QStringLiteral("flag"), true},
        {QStringLiteral("fraction"), 0.25},
    };
    EXPECT_TRUE(rv_boolValueForKey(d, QStringLiteral("missing"), true));
    EXPECT_TRUE(rv_boolValueForKey(d, QString(), true));
    EXPECT_TRUE(rv_boolValueForKey(d, QStringLiteral("null"), true));
    EXPECT_FALSE(rv_boolValueForKey(d, QStringLiteral("no"), true));
    EXPECT_FALSE(rv_boolValueForKey(d, QStringLiteral("nullText"), true));
    EXPECT_TRUE(rv_boolValueForKey(d, QStringLiteral("yes"), false));
    EXPECT_TRUE(rv_boolValueForKey(d, QStringLiteral("two"), false));
    EXPECT_FALSE(rv_boolValueForKey(d, QStringLiteral("zeroText"), true));
    EXPECT_TRUE(rv_boolValueForKey(d, QStringLiteral("half"), false));
    EXPECT_EQ(rv_intValueForKey(d, QStringLiteral("real"), 9), 3);
    EXPECT_EQ(rv_intValueForKey(d, QStringLiteral("array"), 9), 9);
    EXPECT_EQ(rv_intValueForKey(d, QStringLiteral("exp"), 9), 1);
    EXPECT_EQ(rv_intValueForKey(d, QStringLiteral("junk"), 9), 0);
    EXPECT_EQ(rv_charValueForKey(d, QStringLiteral("big"), 0), 44);
    EXPECT_EQ(rv_unsignedCharValueForKey(d, QStringLiteral("big"), 0), 44);
    EXPECT_EQ(rv_shortValueForKey(d, QStringLiteral("huge"), 0), std::numeric_limits<qint16>::max());
    EXPECT_EQ(rv_unsignedShortValueForKey(d, QStringLiteral("negative"), 1), 0);
    EXPECT_EQ(rv_unsignedIntValueForKey(d, QStringLiteral("two"), 0), 2u);
    EXPECT_EQ(rv_longValueForKey(d, QStringLiteral("negative"), 0), -3);
    EXPECT_EQ(rv_unsignedLongValueForKey(d, QStringLiteral("huge"), 0), std::numeric_limits<quint64>::max());
    EXPECT_EQ(rv_longLongValueForKey(d, QStringLiteral("exp"), 0), 1);
    EXPECT_EQ(rv_unsignedLongLongValueForKey(d, QStringLiteral("yes"), 0), 1u);
    EXPECT_FLOAT_EQ(rv_floatValueForKey(d, QStringLiteral("half"), 0), 2.5f);
    EXPECT_DOUBLE_EQ(rv_doubleValueForKey(d, QStringLiteral("real"), 0), 3.7);
    EXPECT_DOUBLE_EQ(rv_doubleValueForKey(d, QStringLiteral("map"), 1.5), 1.5);
    EXPECT_EQ(rv_integerValueForKey(d, QStringLiteral("five"), 0), 5);
    EXPECT_EQ(rv_unsignedIntegerValueForKey(d, QStringLiteral("nullText"), 8), 0u);

    EXPECT_EQ(rv_numberValueForKey(d, QStringLiteral("five"), 1), QVariant(5));
    EXPECT_EQ(rv_numberValueForKey(d, QStringLiteral("real"), 1), QVariant(3.7));
    EXPECT_EQ(rv_numberValueForKey(d, QStringLiteral("yes"), 1), QVariant(true));
    EXPECT_FALSE(rv_numberValueForKey(d, QStringLiteral("nullText"), 1).isValid());
    EXPECT_EQ(rv_numberValueForKey(d, QStringLiteral("map"), 1), QVariant(1));
    EXPECT_EQ(rv_numberValueForKey(d, QStringLiteral("null"), 1), QVariant(1));
    EXPECT_EQ(rv_stringValueForKey(d, QStringLiteral("five"), QStringLiteral("d")), QStringLiteral("5"));
    EXPECT_EQ(rv_stringValueForKey(d, QStringLiteral("fraction"), QStringLiteral("d")), QStringLiteral("0.25"));
    EXPECT_EQ(rv_stringValueForKey(d, QStringLiteral("flag"), QStringLiteral("d")), QStringLiteral("1"));
    EXPECT_EQ(rv_stringValueForKey(d, QStringLiteral("text"), QStringLiteral("d")), QStringLiteral("words"));
    EXPECT_EQ(rv_stringValueForKey(d, QStringLiteral("map"), QStringLiteral("d")), QStringLiteral("d"));
    EXPECT_EQ(rv_stringValueForKey(d, QString(), QStringLiteral("d")), QStringLiteral("d"));
}

TEST(RvDictionaryCategory, KeysEntriesAndPops)
{
    QVariantMap d{{QStringLiteral("b"), 1}, {QStringLiteral("A"), 2}, {QStringLiteral("c"), 3}};
    EXPECT_EQ(rv_allKeysSorted(d), QStringList({"A", "b", "c"}));
    EXPECT_EQ(rv_allValuesSortedByKeys(d), (QVariantList{2, 1, 3}));
    EXPECT_TRUE(rv_containsObjectForKey(d, QStringLiteral("b")));
    EXPECT_FALSE(rv_containsObjectForKey(d, QStringLiteral("B")));
    EXPECT_FALSE(rv_containsObjectForKey(d, QString()));
    EXPECT_EQ(rv_entriesForKeys(d, {QStringLiteral("A"), QStringLiteral("zz")}), (QVariantMap{{QStringLiteral("A"), 2}}));
    EXPECT_FALSE(rv_popObjectForKey(d, QString()).isValid());
    EXPECT_FALSE(rv_popObjectForKey(d, QStringLiteral("zz")).isValid());
    EXPECT_EQ(rv_popObjectForKey(d, QStringLiteral("b")), QVariant(1));
    EXPECT_EQ(rv_popEntriesForKeys(d, {QStringLiteral("c"), QStringLiteral("q")}), (QVariantMap{{QStringLiteral("c"), 3}}));
    EXPECT_EQ(d, (QVariantMap{{QStringLiteral("A"), 2}}));
}
