#include <gtest/gtest.h>

#include "CategoryVectors.h"
#include "Categories/RVArray.h"
#include "Categories/RVCrypt.h"
#include "Categories/RVEncoding.h"
#include "Categories/RVHash.h"

#include <QVariantList>
#include <QVariantMap>
#include <limits>

namespace {

using DigestData = QByteArray (*)(const QByteArray &);
using DigestText = QString (*)(const QByteArray &);
using DigestOfText = QString (*)(const QString &);

struct DigestKind {
    const char *field;
    DigestData data;
    DigestText text;
    DigestOfText ofText;
    int length;
};

const DigestKind kDigests[] = {
    {"md2", rv_MD2Data, rv_MD2String, rv_MD2String, 16},
    {"md4", rv_MD4Data, rv_MD4String, rv_MD4String, 16},
    {"md5", rv_MD5Data, rv_MD5String, rv_MD5String, 16},
    {"sha1", rv_SHA1Data, rv_SHA1String, rv_SHA1String, 20},
    {"sha224", rv_SHA224Data, rv_SHA224String, rv_SHA224String, 28},
    {"sha256", rv_SHA256Data, rv_SHA256String, rv_SHA256String, 32},
    {"sha384", rv_SHA384Data, rv_SHA384String, rv_SHA384String, 48},
    {"sha512", rv_SHA512Data, rv_SHA512String, rv_SHA512String, 64},
};

std::optional<QByteArray> optionalHex(const QJsonValue &value)
{
    if (value.isNull())
        return std::nullopt;
    return QByteArray::fromHex(value.toString().toLatin1());
}

} // namespace

TEST(RvDigests, MatchTheIndependentAndPublishedVectors)
{
    const QJsonArray vectors = categoryVectors("hash.json", "digests");
    ASSERT_GT(vectors.size(), 10);
    for (const QJsonValue &value : vectors) {
        const QJsonObject entry = value.toObject();
        const QByteArray data = hexField(entry, "data");
        for (const DigestKind &kind : kDigests) {
            const QString expected = entry.value(QLatin1String(kind.field)).toString();
            SCOPED_TRACE(std::string(kind.field) + " of " + data.toHex().toStdString());
            EXPECT_EQ(kind.text(data), expected);
            EXPECT_EQ(kind.data(data), QByteArray::fromHex(expected.toLatin1()));
            EXPECT_EQ(kind.data(data).size(), kind.length);
            if (const auto text = rv_UTF8String(data)) {
                EXPECT_EQ(kind.ofText(*text), expected);
            }
        }
        EXPECT_EQ(rv_crc32String(data), entry.value(QLatin1String("crc32")).toString());
        EXPECT_EQ(rv_crc32(data), entry.value(QLatin1String("crc32")).toString().toUInt(nullptr, 16));
        EXPECT_EQ(rv_hexString(data), entry.value(QLatin1String("hexUpper")).toString());
        EXPECT_EQ(rv_APNSToken(data), entry.value(QLatin1String("hexUpper")).toString().toLower());
        if (!data.isEmpty()) {
            EXPECT_EQ(rv_base64EncodedString(data), entry.value(QLatin1String("base64")).toString());
        }
    }
    EXPECT_EQ(rv_MD5String(QStringLiteral("abc")), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
    EXPECT_EQ(rv_crc32String(QStringLiteral("abc")), QStringLiteral("352441c2"));
    EXPECT_EQ(rv_crc32(QByteArray()), 0u);
    EXPECT_EQ(rv_crc32(QString()), 0u);
}

TEST(RvHmac, MatchesPythonForEveryAlgorithmNumberAndKeyLength)
{
    const QJsonArray vectors = categoryVectors("hash.json", "hmacs");
    ASSERT_GT(vectors.size(), 10);
    using Fixed = QByteArray (*)(const QByteArray &, const QByteArray &);
    const Fixed fixed[] = {rv_hmacSHA1DataWithKey, rv_hmacMD5DataWithKey, rv_hmacSHA256DataWithKey,
                           rv_hmacSHA384DataWithKey, rv_hmacSHA512DataWithKey, rv_hmacSHA224DataWithKey};
    for (const QJsonValue &value : vectors) {
        const QJsonObject entry = value.toObject();
        const QByteArray key = hexField(entry, "key");
        const QByteArray data = hexField(entry, "data");
        for (quint32 number = 0; number <= 5; ++number) {
            const QString expected = entry.value(QString::number(number)).toString();
            SCOPED_TRACE(number);
            EXPECT_EQ(rv_hmacDataUsingAlg(data, number, key), QByteArray::fromHex(expected.toLatin1()));
            EXPECT_EQ(fixed[number](data, key), QByteArray::fromHex(expected.toLatin1()));
            // The text key reaches the same HMAC when its bytes are a text
            // without NUL.
            const auto keyText = rv_UTF8String(key);
            if (keyText && !key.contains('\0')) {
                EXPECT_EQ(rv_hmacStringUsingAlg(data, number, *keyText), expected);
            }
        }
    }
}

TEST(RvHmac, TextKeysEndAtNulAndUnknownAlgorithmsGiveNothing)
{
    const QByteArray message("message");
    const QString keyWithNul = QString::fromUtf8(QByteArray("ab\0cd", 5));
    EXPECT_EQ(rv_hmacStringUsingAlg(message, RVHmacAlgorithmSHA256, keyWithNul),
              rv_hmacStringUsingAlg(message, RVHmacAlgorithmSHA256, QStringLiteral("ab")));
    EXPECT_EQ(rv_hmacSHA256StringWithKey(message, keyWithNul), rv_hmacSHA256StringWithKey(message, QStringLiteral("ab")));
    // The byte form uses every byte, NUL and all.
    EXPECT_NE(rv_hmacSHA256DataWithKey(message, QByteArray("ab\0cd", 5)), rv_hmacSHA256DataWithKey(message, "ab"));
    // Text forms of the message are its UTF-8 bytes.
    EXPECT_EQ(rv_hmacMD5StringWithKey(QStringLiteral("中"), QStringLiteral("k")),
              rv_hmacMD5StringWithKey(QStringLiteral("中").toUtf8(), QStringLiteral("k")));
    EXPECT_EQ(rv_hmacSHA512DataWithKey(QStringLiteral("中"), QByteArray("k")),
              rv_hmacSHA512DataWithKey(QStringLiteral("中").toUtf8(), QByteArray("k")));
    for (quint32 number : {6u, 7u, 100u, std::numeric_limits<quint32>::max()}) {
        EXPECT_FALSE(rv_hmacStringUsingAlg(message, number, QStringLiteral("k")).has_value());
        EXPECT_FALSE(rv_hmacDataUsingAlg(message, number, QByteArray("k")).has_value());
    }
}

TEST(RvBase64, WrapsAtEveryWidthAsTheIndependentLayout)
{
    const QJsonArray vectors = categoryVectors("hash.json", "base64Wrapped");
    ASSERT_GT(vectors.size(), 50);
    for (const QJsonValue &value : vectors) {
        const QJsonObject entry = value.toObject();
        const QByteArray data = hexField(entry, "data");
        const auto width = static_cast<quint32>(entry.value(QLatin1String("width")).toInt());
        SCOPED_TRACE(width);
        const std::optional<QString> text = rv_base64EncodedStringWithWrapWidth(data, width);
        ASSERT_TRUE(text.has_value());
        EXPECT_EQ(*text, entry.value(QLatin1String("text")).toString());
        // Every wrapped form reads back to the bytes.
        EXPECT_EQ(rv_dataWithBase64EncodedString(*text), data);
    }
    EXPECT_FALSE(rv_base64EncodedString(QByteArray()).has_value());
    EXPECT_FALSE(rv_base64EncodedStringWithWrapWidth(QString(), 76).has_value());
    EXPECT_EQ(rv_base64EncodedString(QStringLiteral("abc")), QStringLiteral("YWJj"));
    // Thirty bytes at width 10: five lines of eight characters.
    const QString lines = *rv_base64EncodedStringWithWrapWidth(QByteArray(30, 'x'), 10);
    EXPECT_EQ(lines.split(QStringLiteral("\r\n")).size(), 5);
    for (const QString &line : lines.split(QStringLiteral("\r\n")))
        EXPECT_EQ(line.size(), 8);
    // The largest width never wraps and never overflows.
    EXPECT_EQ(rv_base64EncodedStringWithWrapWidth(QByteArray(3000, 'x'), std::numeric_limits<quint32>::max())->size(), 4000);
}

TEST(RvBase64, DecodesLikePythonAndRefusesMalformedText)
{
    const QJsonArray vectors = categoryVectors("hash.json", "base64Decoding");
    ASSERT_GT(vectors.size(), 10);
    for (const QJsonValue &value : vectors) {
        const QJsonObject entry = value.toObject();
        const QString text = entry.value(QLatin1String("text")).toString();
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(rv_dataWithBase64EncodedString(text), optionalHex(entry.value(QLatin1String("data"))));
        EXPECT_EQ(rv_base64DecodedData(text), optionalHex(entry.value(QLatin1String("data"))));
    }
    // Characters outside ASCII are ignored, not misread as their low byte.
    EXPECT_EQ(rv_dataWithBase64EncodedString(QString::fromUtf16(u"YW\u0141Jj")), QByteArray("abc"));
    EXPECT_EQ(rv_stringWithBase64EncodedString(QStringLiteral("5L2g5aW9")), QStringLiteral("你好"));
    EXPECT_EQ(rv_base64DecodedString(*rv_base64EncodedString(QStringLiteral("ünï"))), QStringLiteral("ünï"));
    // Decoded bytes that are not UTF-8 give no text.
    EXPECT_FALSE(rv_stringWithBase64EncodedString(QStringLiteral("/w==")).has_value());
    EXPECT_FALSE(rv_base64DecodedString(QStringLiteral("")).has_value());
}

TEST(RvUtf8AndHex, ReadStrictUtf8AndLenientHex)
{
    const QJsonArray vectors = categoryVectors("hash.json", "utf8");
    ASSERT_GT(vectors.size(), 10);
    for (const QJsonValue &value : vectors) {
        const QJsonObject entry = value.toObject();
        const QByteArray data = hexField(entry, "data");
        SCOPED_TRACE(data.toHex().toStdString());
        const QJsonValue expected = entry.value(QLatin1String("text"));
        const std::optional<QString> text = rv_UTF8String(data);
        if (expected.isNull()) {
            EXPECT_FALSE(text.has_value());
        } else {
            ASSERT_TRUE(text.has_value());
            EXPECT_EQ(*text, expected.toString());
            EXPECT_FALSE(text->isNull());
        }
    }

    EXPECT_EQ(rv_dataWithHexString(QStringLiteral("0A ff")), QByteArray("\x0a\xff", 2));
    EXPECT_EQ(rv_dataWithHexString(QStringLiteral("abc")), QByteArray("\xab", 1));
    EXPECT_EQ(rv_dataWithHexString(QStringLiteral("zz")), QByteArray(1, '\0'));
    EXPECT_EQ(rv_dataWithHexString(QStringLiteral("g1")), QByteArray(1, '\0'));
    EXPECT_EQ(rv_dataWithHexString(QStringLiteral("1g")), QByteArray(1, '\x01'));
    EXPECT_EQ(rv_dataWithHexString(QStringLiteral("-1")), QByteArray(1, '\0'));
    EXPECT_EQ(rv_dataWithHexString(QStringLiteral("A")), QByteArray());
    EXPECT_FALSE(rv_dataWithHexString(QStringLiteral("   ")).has_value());
    EXPECT_FALSE(rv_dataWithHexString(QString()).has_value());
    EXPECT_EQ(rv_hexString(QByteArray("\x0a\xff", 2)), QStringLiteral("0AFF"));
    const QByteArray all = [] {
        QByteArray bytes;
        for (int i = 0; i < 256; ++i)
            bytes.append(static_cast<char>(i));
        return bytes;
    }();
    EXPECT_EQ(rv_dataWithHexString(rv_hexString(all)), all);
    EXPECT_EQ(rv_dataWithHexString(rv_APNSToken(all)), all);
}

TEST(RvJsonValueDecoded, AcceptsObjectsAndArraysOnly)
{
    const QVariant object = rv_jsonValueDecoded(QByteArray(R"({"a": [1, "x", null, true], "b": {"c": 2.5}})"));
    ASSERT_EQ(object.typeId(), QMetaType::QVariantMap);
    EXPECT_EQ(object.toMap().value(QStringLiteral("a")).toList().size(), 4);
    EXPECT_EQ(object.toMap().value(QStringLiteral("b")).toMap().value(QStringLiteral("c")).toDouble(), 2.5);
    EXPECT_EQ(rv_jsonValueDecoded(QByteArray("[]")).typeId(), QMetaType::QVariantList);

    for (const char *bad : {"1", "\"a\"", "null", "true", "", "{", "[1,]", "{\"a\":1} x", "\xff\xfe"})
        EXPECT_FALSE(rv_jsonValueDecoded(QByteArray(bad)).isValid()) << bad;
    // Nesting is read as deep as the writers take it, and refused beyond.
    const auto nested = [](int depth, const QByteArray &inner = QByteArray()) {
        return QByteArray(depth, '[') + inner + QByteArray(depth, ']');
    };
    const QVariant deepest = rv_jsonValueDecoded(nested(511, R"({"k": "[[[\"]]"})"));
    ASSERT_EQ(deepest.typeId(), QMetaType::QVariantList);
    EXPECT_EQ(rv_jsonValueDecoded(rv_jsonStringEncoded(deepest.toList())->toUtf8()), deepest);
    for (const QByteArray &refused : {nested(513), nested(512, "{}"), nested(100000)})
        EXPECT_FALSE(rv_jsonValueDecoded(refused).isValid());
}

TEST(RvCrypt, MatchesOpenSslNettleAndPublishedVectorsBothWays)
{
    const QJsonArray vectors = categoryVectors("hash.json", "ciphers");
    ASSERT_GT(vectors.size(), 100);
    for (const QJsonValue &value : vectors) {
        const QJsonObject entry = value.toObject();
        const auto algorithm = static_cast<quint32>(entry.value(QLatin1String("algorithm")).toInt());
        const QString key = entry.value(QLatin1String("key")).toString();
        const std::optional<QByteArray> iv = optionalHex(entry.value(QLatin1String("iv")));
        const QByteArray data = hexField(entry, "data");
        const QByteArray sealed = hexField(entry, "sealed");
        SCOPED_TRACE(QStringLiteral("algorithm %1 key %2 iv %3 data %4")
                         .arg(algorithm)
                         .arg(key, iv ? QString::fromLatin1(iv->toHex()) : QStringLiteral("nil"),
                              QString::fromLatin1(data.toHex()))
                         .toStdString());
        const std::optional<QByteArray> encrypted = rv_CCCryptData(data, algorithm, RVCryptOperationEncrypt, key, iv);
        ASSERT_TRUE(encrypted.has_value());
        if (algorithm == RVCryptAlgorithmCAST && data.size() == 8 && sealed.size() == 8) {
            // Published single-block vectors carry no padding block.
            EXPECT_EQ(encrypted->left(8), sealed);
            continue;
        }
        EXPECT_EQ(*encrypted, sealed);
        EXPECT_EQ(rv_CCCryptData(sealed, algorithm, RVCryptOperationDecrypt, key, iv), data);
    }
}

TEST(RvCrypt, NamedAndTextFormsAndEveryFailure)
{
    // ECB and CBC with an all-zero IV agree on one block.
    EXPECT_EQ(rv_encryptedWithAESUsingKey(QStringLiteral("abc"), QStringLiteral("key"), std::nullopt),
              QStringLiteral("218UmnyvDNJ1yhjCA6ISyQ=="));
    EXPECT_EQ(rv_encryptedWithAESUsingKey(QStringLiteral("abc"), QStringLiteral("key"), QByteArray(16, '\0')),
              QStringLiteral("218UmnyvDNJ1yhjCA6ISyQ=="));
    // An empty IV is the zero IV once sized.
    EXPECT_EQ(rv_encryptedWithAESUsingKey(QStringLiteral("abc"), QStringLiteral("key"), QByteArray()),
              QStringLiteral("218UmnyvDNJ1yhjCA6ISyQ=="));

    const QString text = QStringLiteral("Grüße, 世界 \U0001F600");
    const QByteArray iv("an IV of some length");
    for (const std::optional<QByteArray> &chain : {std::optional<QByteArray>(), std::optional<QByteArray>(iv)}) {
        const auto aes = rv_encryptedWithAESUsingKey(text, QStringLiteral("short"), chain);
        const auto des = rv_encryptedWithDESUsingKey(text, QStringLiteral("short"), chain);
        const auto tdes = rv_encryptedWith3DESUsingKey(text, QStringLiteral("short"), chain);
        ASSERT_TRUE(aes && des && tdes);
        EXPECT_EQ(rv_decryptedWithAESUsingKey(*aes, QStringLiteral("short"), chain), text);
        EXPECT_EQ(rv_decryptedWithDESUsingKey(*des, QStringLiteral("short"), chain), text);
        EXPECT_EQ(rv_decryptedWith3DESUsingKey(*tdes, QStringLiteral("short"), chain), text);
        EXPECT_EQ(rv_decryptedWithAESUsingKey(*rv_dataWithBase64EncodedString(*aes), QStringLiteral("short"), chain),
                  text.toUtf8());
        EXPECT_EQ(rv_encryptedWithDESUsingKey(text.toUtf8(), QStringLiteral("short"), chain),
                  rv_dataWithBase64EncodedString(*des));
        EXPECT_EQ(rv_encryptedWith3DESUsingKey(text.toUtf8(), QStringLiteral("short"), chain),
                  rv_dataWithBase64EncodedString(*tdes));
        // A wrong key fails the padding check or gives bytes that are not
        // the text; the text form never hands back the original.
        EXPECT_NE(rv_decryptedWithAESUsingKey(*aes, QStringLiteral("other"), chain), text);
        EXPECT_NE(rv_decryptedWithDESUsingKey(*des, QStringLiteral("other"), chain), text);
    }

    const QByteArray data("some bytes");
    // Unknown algorithms and operations.
    EXPECT_FALSE(rv_CCCryptData(data, 5, RVCryptOperationEncrypt, QStringLiteral("k"), std::nullopt).has_value());
    EXPECT_FALSE(rv_CCCryptData(data, RVCryptAlgorithmAES, 2, QStringLiteral("k"), std::nullopt).has_value());
    // An RC4 key of no bytes is refused rather than padded.
    EXPECT_FALSE(rv_CCCryptData(data, RVCryptAlgorithmRC4, RVCryptOperationEncrypt, QString(), std::nullopt).has_value());
    // Decrypting what no cipher made: wrong lengths, empty input, garbage text.
    EXPECT_FALSE(rv_decryptedWithAESUsingKey(QByteArray(15, 'x'), QStringLiteral("k"), std::nullopt).has_value());
    EXPECT_FALSE(rv_decryptedWithAESUsingKey(QByteArray(), QStringLiteral("k"), std::nullopt).has_value());
    EXPECT_FALSE(rv_decryptedWith3DESUsingKey(QByteArray(7, 'x'), QStringLiteral("k"), iv).has_value());
    EXPECT_FALSE(rv_decryptedWithAESUsingKey(QStringLiteral("not base64 !!"), QStringLiteral("k"), std::nullopt).has_value());
    EXPECT_FALSE(rv_decryptedWithDESUsingKey(QString(), QStringLiteral("k"), std::nullopt).has_value());
    // Decrypted bytes that are not UTF-8 give no text.
    const QByteArray notText = *rv_encryptedWithAESUsingKey(QByteArray("\xff\xfe", 2), QStringLiteral("k"), std::nullopt);
    EXPECT_FALSE(rv_decryptedWithAESUsingKey(*rv_base64EncodedString(notText), QStringLiteral("k"), std::nullopt).has_value());
    // RC4 is its own inverse and keeps the length.
    const auto stream = rv_CCCryptData(data, RVCryptAlgorithmRC4, RVCryptOperationEncrypt, QStringLiteral("k"), iv);
    ASSERT_TRUE(stream.has_value());
    EXPECT_EQ(stream->size(), data.size());
    EXPECT_EQ(rv_CCCryptData(*stream, RVCryptAlgorithmRC4, RVCryptOperationDecrypt, QStringLiteral("k"), std::nullopt), data);
}
