#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <optional>

// Block and stream ciphers over bytes with a key text. Kept for data that
// was written this way; the zero-padded text keys and the ECB mode without an
// IV are weak, so new data should not use them.
//
// Every operation gives nothing on any failure: an unknown algorithm or
// operation, a key the cipher cannot take, bad padding or length when
// decrypting.

enum RVCryptAlgorithm : quint32 {
    RVCryptAlgorithmAES = 0,
    RVCryptAlgorithmDES = 1,
    RVCryptAlgorithm3DES = 2,
    RVCryptAlgorithmCAST = 3,
    RVCryptAlgorithmRC4 = 4,
};

enum RVCryptOperation : quint32 {
    RVCryptOperationEncrypt = 0,
    RVCryptOperationDecrypt = 1,
};

// The key is the key text's UTF-8 bytes, cut or padded with zero bytes to
// what the algorithm takes: AES 16, 24 or 32 (the smallest that holds it),
// DES 8, triple DES 24, CAST 5 to 16, RC4 1 to 512 (an empty RC4 key fails).
// With an IV the block ciphers run CBC, without one ECB, both with PKCS#7
// padding; the IV is cut or zero-padded to the key's length and at least one
// block, and its first block is used. RC4 ignores the IV.
std::optional<QByteArray> rv_CCCryptData(const QByteArray &data, quint32 algorithm, quint32 operation,
                                         const QString &key, const std::optional<QByteArray> &iv);

std::optional<QByteArray> rv_encryptedWithAESUsingKey(const QByteArray &data, const QString &key,
                                                      const std::optional<QByteArray> &iv);
std::optional<QByteArray> rv_decryptedWithAESUsingKey(const QByteArray &data, const QString &key,
                                                      const std::optional<QByteArray> &iv);
std::optional<QByteArray> rv_encryptedWithDESUsingKey(const QByteArray &data, const QString &key,
                                                      const std::optional<QByteArray> &iv);
std::optional<QByteArray> rv_decryptedWithDESUsingKey(const QByteArray &data, const QString &key,
                                                      const std::optional<QByteArray> &iv);
std::optional<QByteArray> rv_encryptedWith3DESUsingKey(const QByteArray &data, const QString &key,
                                                       const std::optional<QByteArray> &iv);
std::optional<QByteArray> rv_decryptedWith3DESUsingKey(const QByteArray &data, const QString &key,
                                                       const std::optional<QByteArray> &iv);

// Text forms: encrypting takes the text's UTF-8 bytes and gives one line of
// Base64; decrypting reads Base64, decrypts and reads UTF-8.
std::optional<QString> rv_encryptedWithAESUsingKey(const QString &text, const QString &key,
                                                   const std::optional<QByteArray> &iv);
std::optional<QString> rv_decryptedWithAESUsingKey(const QString &text, const QString &key,
                                                   const std::optional<QByteArray> &iv);
std::optional<QString> rv_encryptedWithDESUsingKey(const QString &text, const QString &key,
                                                   const std::optional<QByteArray> &iv);
std::optional<QString> rv_decryptedWithDESUsingKey(const QString &text, const QString &key,
                                                   const std::optional<QByteArray> &iv);
std::optional<QString> rv_encryptedWith3DESUsingKey(const QString &text, const QString &key,
                                                    const std::optional<QByteArray> &iv);
std::optional<QString> rv_decryptedWith3DESUsingKey(const QString &text, const QString &key,
                                                    const std::optional<QByteArray> &iv);
