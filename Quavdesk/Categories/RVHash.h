#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <optional>

// Digests, HMACs and the CRC-32 of bytes, and the same of texts (a text is
// its UTF-8 bytes). Pure functions, safe on any thread.
//
// The "Data" forms give the raw digest, the "String" forms lower-case
// hexadecimal, two digits a byte.

QByteArray rv_MD2Data(const QByteArray &data);
QByteArray rv_MD4Data(const QByteArray &data);
QByteArray rv_MD5Data(const QByteArray &data);
QByteArray rv_SHA1Data(const QByteArray &data);
QByteArray rv_SHA224Data(const QByteArray &data);
QByteArray rv_SHA256Data(const QByteArray &data);
QByteArray rv_SHA384Data(const QByteArray &data);
QByteArray rv_SHA512Data(const QByteArray &data);

QString rv_MD2String(const QByteArray &data);
QString rv_MD4String(const QByteArray &data);
QString rv_MD5String(const QByteArray &data);
QString rv_SHA1String(const QByteArray &data);
QString rv_SHA224String(const QByteArray &data);
QString rv_SHA256String(const QByteArray &data);
QString rv_SHA384String(const QByteArray &data);
QString rv_SHA512String(const QByteArray &data);

QByteArray rv_MD2Data(const QString &text);
QByteArray rv_MD4Data(const QString &text);
QByteArray rv_MD5Data(const QString &text);
QByteArray rv_SHA1Data(const QString &text);
QByteArray rv_SHA224Data(const QString &text);
QByteArray rv_SHA256Data(const QString &text);
QByteArray rv_SHA384Data(const QString &text);
QByteArray rv_SHA512Data(const QString &text);

QString rv_MD2String(const QString &text);
QString rv_MD4String(const QString &text);
QString rv_MD5String(const QString &text);
QString rv_SHA1String(const QString &text);
QString rv_SHA224String(const QString &text);
QString rv_SHA256String(const QString &text);
QString rv_SHA384String(const QString &text);
QString rv_SHA512String(const QString &text);

// HMAC algorithm numbers, as callers store them.
enum RVHmacAlgorithm : quint32 {
    RVHmacAlgorithmSHA1 = 0,
    RVHmacAlgorithmMD5 = 1,
    RVHmacAlgorithmSHA256 = 2,
    RVHmacAlgorithmSHA384 = 3,
    RVHmacAlgorithmSHA512 = 4,
    RVHmacAlgorithmSHA224 = 5,
};

// HMAC of `data` with the key text's UTF-8 bytes up to its first NUL, as
// lower-case hexadecimal; nothing for an algorithm number outside 0..5.
std::optional<QString> rv_hmacStringUsingAlg(const QByteArray &data, quint32 algorithm, const QString &key);
// HMAC of `data` with every byte of `key`; nothing for an unknown number.
std::optional<QByteArray> rv_hmacDataUsingAlg(const QByteArray &data, quint32 algorithm, const QByteArray &key);

// Fixed forms: the "String" ones take a key text (cut at its first NUL) and
// give hexadecimal, the "Data" ones take key bytes and give raw bytes.
QString rv_hmacMD5StringWithKey(const QByteArray &data, const QString &key);
QString rv_hmacSHA1StringWithKey(const QByteArray &data, const QString &key);
QString rv_hmacSHA224StringWithKey(const QByteArray &data, const QString &key);
QString rv_hmacSHA256StringWithKey(const QByteArray &data, const QString &key);
QString rv_hmacSHA384StringWithKey(const QByteArray &data, const QString &key);
QString rv_hmacSHA512StringWithKey(const QByteArray &data, const QString &key);
QByteArray rv_hmacMD5DataWithKey(const QByteArray &data, const QByteArray &key);
QByteArray rv_hmacSHA1DataWithKey(const QByteArray &data, const QByteArray &key);
QByteArray rv_hmacSHA224DataWithKey(const QByteArray &data, const QByteArray &key);
QByteArray rv_hmacSHA256DataWithKey(const QByteArray &data, const QByteArray &key);
QByteArray rv_hmacSHA384DataWithKey(const QByteArray &data, const QByteArray &key);
QByteArray rv_hmacSHA512DataWithKey(const QByteArray &data, const QByteArray &key);

QString rv_hmacMD5StringWithKey(const QString &text, const QString &key);
QString rv_hmacSHA1StringWithKey(const QString &text, const QString &key);
QString rv_hmacSHA224StringWithKey(const QString &text, const QString &key);
QString rv_hmacSHA256StringWithKey(const QString &text, const QString &key);
QString rv_hmacSHA384StringWithKey(const QString &text, const QString &key);
QString rv_hmacSHA512StringWithKey(const QString &text, const QString &key);
QByteArray rv_hmacMD5DataWithKey(const QString &text, const QByteArray &key);
QByteArray rv_hmacSHA1DataWithKey(const QString &text, const QByteArray &key);
QByteArray rv_hmacSHA224DataWithKey(const QString &text, const QByteArray &key);
QByteArray rv_hmacSHA256DataWithKey(const QString &text, const QByteArray &key);
QByteArray rv_hmacSHA384DataWithKey(const QString &text, const QByteArray &key);
QByteArray rv_hmacSHA512DataWithKey(const QString &text, const QByteArray &key);

// zlib's CRC-32 (started from 0) of all bytes, and the same as eight
// lower-case hexadecimal digits.
quint32 rv_crc32(const QByteArray &data);
QString rv_crc32String(const QByteArray &data);
quint32 rv_crc32(const QString &text);
QString rv_crc32String(const QString &text);
