#include "Categories/RVHash.h"

#include "Categories/RVCryptoContext_p.h"
#include "Categories/RVMD2_p.h"

#include <openssl/evp.h>
#include <zlib.h>

namespace {

QByteArray evpDigest(const char *name, const QByteArray &data)
{
    const EVP_MD *digest = rvFetchedDigest(name);
    if (!digest)
        return QByteArray();
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(data.constData(), static_cast<size_t>(data.size()), out, &length, digest, nullptr) != 1)
        return QByteArray();
    return QByteArray(reinterpret_cast<const char *>(out), static_cast<qsizetype>(length));
}

QString lowerHex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

const char *hmacDigestName(quint32 algorithm)
{
    switch (algorithm) {
    case RVHmacAlgorithmSHA1: return "SHA1";
    case RVHmacAlgorithmMD5: return "MD5";
    case RVHmacAlgorithmSHA256: return "SHA256";
    case RVHmacAlgorithmSHA384: return "SHA384";
    case RVHmacAlgorithmSHA512: return "SHA512";
    case RVHmacAlgorithmSHA224: return "SHA224";
    default: return nullptr;
    }
}

QByteArray keyTextBytes(const QString &key)
{
    // The text form's key ends at the first NUL, as a C string would.
    QByteArray bytes = key.toUtf8();
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    return bytes;
}

QByteArray hmacOf(const QByteArray &data, RVHmacAlgorithm algorithm, const QByteArray &key)
{
    return rv_hmacDataUsingAlg(data, algorithm, key).value_or(QByteArray());
}

QString hmacTextOf(const QByteArray &data, RVHmacAlgorithm algorithm, const QString &key)
{
    return rv_hmacStringUsingAlg(data, algorithm, key).value_or(QString());
}

} // namespace

QByteArray rv_MD2Data(const QByteArray &data) { return rvMD2Digest(data); }
QByteArray rv_MD4Data(const QByteArray &data) { return evpDigest("MD4", data); }
QByteArray rv_MD5Data(const QByteArray &data) { return evpDigest("MD5", data); }
QByteArray rv_SHA1Data(const QByteArray &data) { return evpDigest("SHA1", data); }
QByteArray rv_SHA224Data(const QByteArray &data) { return evpDigest("SHA224", data); }
QByteArray rv_SHA256Data(const QByteArray &data) { return evpDigest("SHA256", data); }
QByteArray rv_SHA384Data(const QByteArray &data) { return evpDigest("SHA384", data); }
QByteArray rv_SHA512Data(const QByteArray &data) { return evpDigest("SHA512", data); }

QString rv_MD2String(const QByteArray &data) { return lowerHex(rv_MD2Data(data)); }
QString rv_MD4String(const QByteArray &data) { return lowerHex(rv_MD4Data(data)); }
QString rv_MD5String(const QByteArray &data) { return lowerHex(rv_MD5Data(data)); }
QString rv_SHA1String(const QByteArray &data) { return lowerHex(rv_SHA1Data(data)); }
QString rv_SHA224String(const QByteArray &data) { return lowerHex(rv_SHA224Data(data)); }
QString rv_SHA256String(const QByteArray &data) { return lowerHex(rv_SHA256Data(data)); }
QString rv_SHA384String(const QByteArray &data) { return lowerHex(rv_SHA384Data(data)); }
QString rv_SHA512String(const QByteArray &data) { return lowerHex(rv_SHA512Data(data)); }

QByteArray rv_MD2Data(const QString &text) { return rv_MD2Data(text.toUtf8()); }
QByteArray rv_MD4Data(const QString &text) { return rv_MD4Data(text.toUtf8()); }
QByteArray rv_MD5Data(const QString &text) { return rv_MD5Data(text.toUtf8()); }
QByteArray rv_SHA1Data(const QString &text) { return rv_SHA1Data(text.toUtf8()); }
QByteArray rv_SHA224Data(const QString &text) { return rv_SHA224Data(text.toUtf8()); }
QByteArray rv_SHA256Data(const QString &text) { return rv_SHA256Data(text.toUtf8()); }
QByteArray rv_SHA384Data(const QString &text) { return rv_SHA384Data(text.toUtf8()); }
QByteArray rv_SHA512Data(const QString &text) { return rv_SHA512Data(text.toUtf8()); }

QString rv_MD2String(const QString &text) { return rv_MD2String(text.toUtf8()); }
QString rv_MD4String(const QString &text) { return rv_MD4String(text.toUtf8()); }
QString rv_MD5String(const QString &text) { return rv_MD5String(text.toUtf8()); }
QString rv_SHA1String(const QString &text) { return rv_SHA1String(text.toUtf8()); }
QString rv_SHA224String(const QString &text) { return rv_SHA224String(text.toUtf8()); }
QString rv_SHA256String(const QString &text) { return rv_SHA256String(text.toUtf8()); }
QString rv_SHA384String(const QString &text) { return rv_SHA384String(text.toUtf8()); }
QString rv_SHA512String(const QString &text) { return rv_SHA512String(text.toUtf8()); }

std::optional<QByteArray> rv_hmacDataUsingAlg(const QByteArray &data, quint32 algorithm, const QByteArray &key)
{
    const char *digestName = hmacDigestName(algorithm);
    if (!digestName || !rvCryptoLibraryContext())
        return std::nullopt;
    // A key of no bytes is a valid HMAC key, but OpenSSL wants a pointer.
    static const unsigned char kNoKey = 0;
    const auto *keyBytes = key.isEmpty() ? &kNoKey : reinterpret_cast<const unsigned char *>(key.constData());
    unsigned char out[EVP_MAX_MD_SIZE];
    size_t length = 0;
    if (!EVP_Q_mac(rvCryptoLibraryContext(), "HMAC", nullptr, digestName, nullptr, keyBytes,
                   static_cast<size_t>(key.size()), reinterpret_cast<const unsigned char *>(data.constData()),
                   static_cast<size_t>(data.size()), out, sizeof out, &length))
        return std::nullopt;
    return QByteArray(reinterpret_cast<const char *>(out), static_cast<qsizetype>(length));
}

std::optional<QString> rv_hmacStringUsingAlg(const QByteArray &data, quint32 algorithm, const QString &key)
{
    const std::optional<QByteArray> mac = rv_hmacDataUsingAlg(data, algorithm, keyTextBytes(key));
    if (!mac)
        return std::nullopt;
    return lowerHex(*mac);
}

QString rv_hmacMD5StringWithKey(const QByteArray &data, const QString &key) { return hmacTextOf(data, RVHmacAlgorithmMD5, key); }
QString rv_hmacSHA1StringWithKey(const QByteArray &data, const QString &key) { return hmacTextOf(data, RVHmacAlgorithmSHA1, key); }
QString rv_hmacSHA224StringWithKey(const QByteArray &data, const QString &key) { return hmacTextOf(data, RVHmacAlgorithmSHA224, key); }
QString rv_hmacSHA256StringWithKey(const QByteArray &data, const QString &key) { return hmacTextOf(data, RVHmacAlgorithmSHA256, key); }
QString rv_hmacSHA384StringWithKey(const QByteArray &data, const QString &key) { return hmacTextOf(data, RVHmacAlgorithmSHA384, key); }
QString rv_hmacSHA512StringWithKey(const QByteArray &data, const QString &key) { return hmacTextOf(data, RVHmacAlgorithmSHA512, key); }
QByteArray rv_hmacMD5DataWithKey(const QByteArray &data, const QByteArray &key) { return hmacOf(data, RVHmacAlgorithmMD5, key); }
QByteArray rv_hmacSHA1DataWithKey(const QByteArray &data, const QByteArray &key) { return hmacOf(data, RVHmacAlgorithmSHA1, key); }
QByteArray rv_hmacSHA224DataWithKey(const QByteArray &data, const QByteArray &key) { return hmacOf(data, RVHmacAlgorithmSHA224, key); }
QByteArray rv_hmacSHA256DataWithKey(const QByteArray &data, const QByteArray &key) { return hmacOf(data, RVHmacAlgorithmSHA256, key); }
QByteArray rv_hmacSHA384DataWithKey(const QByteArray &data, const QByteArray &key) { return hmacOf(data, RVHmacAlgorithmSHA384, key); }
QByteArray rv_hmacSHA512DataWithKey(const QByteArray &data, const QByteArray &key) { return hmacOf(data, RVHmacAlgorithmSHA512, key); }

QString rv_hmacMD5StringWithKey(const QString &text, const QString &key) { return rv_hmacMD5StringWithKey(text.toUtf8(), key); }
QString rv_hmacSHA1StringWithKey(const QString &text, const QString &key) { return rv_hmacSHA1StringWithKey(text.toUtf8(), key); }
QString rv_hmacSHA224StringWithKey(const QString &text, const QString &key) { return rv_hmacSHA224StringWithKey(text.toUtf8(), key); }
QString rv_hmacSHA256StringWithKey(const QString &text, const QString &key) { return rv_hmacSHA256StringWithKey(text.toUtf8(), key); }
QString rv_hmacSHA384StringWithKey(const QString &text, const QString &key) { return rv_hmacSHA384StringWithKey(text.toUtf8(), key); }
QString rv_hmacSHA512StringWithKey(const QString &text, const QString &key) { return rv_hmacSHA512StringWithKey(text.toUtf8(), key); }
QByteArray rv_hmacMD5DataWithKey(const QString &text, const QByteArray &key) { return rv_hmacMD5DataWithKey(text.toUtf8(), key); }
QByteArray rv_hmacSHA1DataWithKey(const QString &text, const QByteArray &key) { return rv_hmacSHA1DataWithKey(text.toUtf8(), key); }
QByteArray rv_hmacSHA224DataWithKey(const QString &text, const QByteArray &key) { return rv_hmacSHA224DataWithKey(text.toUtf8(), key); }
QByteArray rv_hmacSHA256DataWithKey(const QString &text, const QByteArray &key) { return rv_hmacSHA256DataWithKey(text.toUtf8(), key); }
QByteArray rv_hmacSHA384DataWithKey(const QString &text, const QByteArray &key) { return rv_hmacSHA384DataWithKey(text.toUtf8(), key); }
QByteArray rv_hmacSHA512DataWithKey(const QString &text, const QByteArray &key) { return rv_hmacSHA512DataWithKey(text.toUtf8(), key); }

quint32 rv_crc32(const QByteArray &data)
{
    return static_cast<quint32>(
        crc32_z(0, reinterpret_cast<const Bytef *>(data.constData()), static_cast<z_size_t>(data.size())));
}

QString rv_crc32String(const QByteArray &data)
{
    return QStringLiteral("%1").arg(rv_crc32(data), 8, 16, QLatin1Char('0'));
}

quint32 rv_crc32(const QString &text) { return rv_crc32(text.toUtf8()); }
QString rv_crc32String(const QString &text) { return rv_crc32String(text.toUtf8()); }
