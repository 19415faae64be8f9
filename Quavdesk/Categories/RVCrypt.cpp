#include "Categories/RVCrypt.h"

#include "Categories/RVCryptoContext_p.h"
#include "Categories/RVEncoding.h"

#include <openssl/evp.h>

#include <algorithm>
#include <memory>

namespace {

struct CipherChoice {
    const char *name = nullptr;
    qsizetype keyLength = 0;
    qsizetype blockLength = 0;
    bool variableKey = false;
};

// Picks the cipher and sizes the key as callers' stored data expects: the
// text key is cut or zero-padded to the nearest size the algorithm takes.
std::optional<CipherChoice> chooseCipher(quint32 algorithm, qsizetype keyBytes, bool chained)
{
    switch (algorithm) {
    case RVCryptAlgorithmAES:
        if (keyBytes <= 16)
            return CipherChoice{chained ? "AES-128-CBC" : "AES-128-ECB", 16, 16, false};
        if (keyBytes <= 24)
            return CipherChoice{chained ? "AES-192-CBC" : "AES-192-ECB", 24, 16, false};
        return CipherChoice{chained ? "AES-256-CBC" : "AES-256-ECB", 32, 16, false};
    case RVCryptAlgorithmDES:
        return CipherChoice{chained ? "DES-CBC" : "DES-ECB", 8, 8, false};
    case RVCryptAlgorithm3DES:
        return CipherChoice{chained ? "DES-EDE3-CBC" : "DES-EDE3-ECB", 24, 8, false};
    case RVCryptAlgorithmCAST:
        return CipherChoice{chained ? "CAST5-CBC" : "CAST5-ECB", std::clamp<qsizetype>(keyBytes, 5, 16), 8, true};
    case RVCryptAlgorithmRC4:
        // An empty key is no RC4 key; padding it to one zero byte would make
        // a key the caller never gave.
        if (keyBytes == 0)
            return std::nullopt;
        return CipherChoice{"RC4", std::min<qsizetype>(keyBytes, 512), 0, true};
    default:
        return std::nullopt;
    }
}

QByteArray resized(QByteArray bytes, qsizetype length)
{
    if (bytes.size() > length)
        bytes.truncate(length);
    else if (bytes.size() < length)
        bytes.append(QByteArray(length - bytes.size(), '\0'));
    return bytes;
}

struct ContextFree {
    void operator()(EVP_CIPHER_CTX *context) const { EVP_CIPHER_CTX_free(context); }
};

std::optional<QString> encryptedText(const std::optional<QByteArray> &bytes)
{
    if (!bytes)
        return std::nullopt;
    return rv_base64EncodedString(*bytes);
}

std::optional<QString> decryptedText(const QString &text, quint32 algorithm, const QString &key,
                                     const std::optional<QByteArray> &iv)
{
    const std::optional<QByteArray> sealed = rv_dataWithBase64EncodedString(text);
    if (!sealed)
        return std::nullopt;
    const std::optional<QByteArray> opened = rv_CCCryptData(*sealed, algorithm, RVCryptOperationDecrypt, key, iv);
    if (!opened)
        return std::nullopt;
    return rv_UTF8String(*opened);
}

} // namespace

std::optional<QByteArray> rv_CCCryptData(const QByteArray &data, quint32 algorithm, quint32 operation,
                                         const QString &key, const std::optional<QByteArray> &iv)
{
    if (operation != RVCryptOperationEncrypt && operation != RVCryptOperationDecrypt)
        return std::nullopt;
    const QByteArray keyText = key.toUtf8();
    const std::optional<CipherChoice> choice = chooseCipher(algorithm, keyText.size(), iv.has_value());
    if (!choice)
        return std::nullopt;
    const EVP_CIPHER *cipher = rvFetchedCipher(choice->name);
    if (!cipher)
        return std::nullopt;

    const QByteArray keyBytes = resized(keyText, choice->keyLength);
    QByteArray ivBytes;
    if (iv && choice->blockLength > 0) {
        // The IV is sized like the key (cut, or zero bytes appended) and
        // the cipher takes its first block. A CAST key of 5 to 7 bytes
        // leaves it short of a block, which zero bytes then fill: the bytes
        // of the caller's IV beyond the key's length never count.
        ivBytes = resized(resized(*iv, choice->keyLength), choice->blockLength);
    }

    std::unique_ptr<EVP_CIPHER_CTX, ContextFree> context(EVP_CIPHER_CTX_new());
    if (!context)
        return std::nullopt;
    const int encrypt = operation == RVCryptOperationEncrypt ? 1 : 0;
    if (EVP_CipherInit_ex2(context.get(), cipher, nullptr, nullptr, encrypt, nullptr) != 1)
        return std::nullopt;
    if (choice->variableKey && EVP_CIPHER_CTX_set_key_length(context.get(), static_cast<int>(keyBytes.size())) != 1)
        return std::nullopt;
    if (EVP_CIPHER_CTX_key_length(context.get()) != keyBytes.size())
        return std::nullopt;
    const auto *ivPointer = ivBytes.isEmpty() ? nullptr : reinterpret_cast<const unsigned char *>(ivBytes.constData());
    if (EVP_CipherInit_ex2(context.get(), nullptr, reinterpret_cast<const unsigned char *>(keyBytes.constData()),
                           ivPointer, encrypt, nullptr)
        != 1)
        return std::nullopt;

    // One block more than the input, as block padding can add at most that.
    QByteArray out(data.size() + choice->blockLength, Qt::Uninitialized);
    auto *cursor = reinterpret_cast<unsigned char *>(out.data());
    qsizetype produced = 0;
    constexpr qsizetype kStep = qsizetype(1) << 30;
    for (qsizetype offset = 0; offset < data.size(); offset += kStep) {
        const int length = static_cast<int>(std::min(kStep, data.size() - offset));
        int written = 0;
        if (EVP_CipherUpdate(context.get(), cursor + produced, &written,
                             reinterpret_cast<const unsigned char *>(data.constData()) + offset, length)
            != 1)
            return std::nullopt;
        produced += written;
    }
    int finalWritten = 0;
    if (EVP_CipherFinal_ex(context.get(), cursor + produced, &finalWritten) != 1)
        return std::nullopt;
    produced += finalWritten;
    out.truncate(produced);
    return out;
}

std::optional<QByteArray> rv_encryptedWithAESUsingKey(const QByteArray &data, const QString &key,
                                                      const std::optional<QByteArray> &iv)
{
    return rv_CCCryptData(data, RVCryptAlgorithmAES, RVCryptOperationEncrypt, key, iv);
}

std::optional<QByteArray> rv_decryptedWithAESUsingKey(const QByteArray &data, const QString &key,
                                                      const std::optional<QByteArray> &iv)
{
    return rv_CCCryptData(data, RVCryptAlgorithmAES, RVCryptOperationDecrypt, key, iv);
}

std::optional<QByteArray> rv_encryptedWithDESUsingKey(const QByteArray &data, const QString &key,
                                                      const std::optional<QByteArray> &iv)
{
    return rv_CCCryptData(data, RVCryptAlgorithmDES, RVCryptOperationEncrypt, key, iv);
}

std::optional<QByteArray> rv_decryptedWithDESUsingKey(const QByteArray &data, const QString &key,
                                                      const std::optional<QByteArray> &iv)
{
    return rv_CCCryptData(data, RVCryptAlgorithmDES, RVCryptOperationDecrypt, key, iv);
}

std::optional<QByteArray> rv_encryptedWith3DESUsingKey(const QByteArray &data, const QString &key,
                                                       const std::optional<QByteArray> &iv)
{
    return rv_CCCryptData(data, RVCryptAlgorithm3DES, RVCryptOperationEncrypt, key, iv);
}

std::optional<QByteArray> rv_decryptedWith3DESUsingKey(const QByteArray &data, const QString &key,
                                                       const std::optional<QByteArray> &iv)
{
    return rv_CCCryptData(data, RVCryptAlgorithm3DES, RVCryptOperationDecrypt, key, iv);
}

std::optional<QString> rv_encryptedWithAESUsingKey(const QString &text, const QString &key,
                                                   const std::optional<QByteArray> &iv)
{
    return encryptedText(rv_encryptedWithAESUsingKey(text.toUtf8(), key, iv));
}

std::optional<QString> rv_decryptedWithAESUsingKey(const QString &text, const QString &key,
                                                   const std::optional<QByteArray> &iv)
{
    return decryptedText(text, RVCryptAlgorithmAES, key, iv);
}

std::optional<QString> rv_encryptedWithDESUsingKey(const QString &text, const QString &key,
                                                   const std::optional<QByteArray> &iv)
{
    return encryptedText(rv_encryptedWithDESUsingKey(text.toUtf8(), key, iv));
}

std::optional<QString> rv_decryptedWithDESUsingKey(const QString &text, const QString &key,
                                                   const std::optional<QByteArray> &iv)
{
    return decryptedText(text, RVCryptAlgorithmDES, key, iv);
}

std::optional<QString> rv_encryptedWith3DESUsingKey(const QString &text, const QString &key,
                                                    const std::optional<QByteArray> &iv)
{
    return encryptedText(rv_encryptedWith3DESUsingKey(text.toUtf8(), key, iv));
}

std::optional<QString> rv_decryptedWith3DESUsingKey(const QString &text, const QString &key,
                                                    const std::optional<QByteArray> &iv)
{
    return decryptedText(text, RVCryptAlgorithm3DES, key, iv);
}
