#include "QVMd5.h"

#include <openssl/evp.h>

namespace {

// The digest's implementation, looked up once: a lookup by each new digest
// (and each restart) costs more than hashing a few kilobytes.
const EVP_MD *md5()
{
    static EVP_MD *fetched = EVP_MD_fetch(nullptr, "MD5", nullptr);
    return fetched ? fetched : EVP_md5();
}

} // namespace

QVMd5::QVMd5() : m_context(EVP_MD_CTX_new())
{
    EVP_DigestInit_ex(m_context, md5(), nullptr);
}

QVMd5::~QVMd5()
{
    EVP_MD_CTX_free(m_context);
}

void QVMd5::addData(QByteArrayView bytes)
{
    EVP_DigestUpdate(m_context, bytes.data(), size_t(bytes.size()));
}

QByteArray QVMd5::hexResult()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(m_context, digest, &length);
    EVP_DigestInit_ex(m_context, md5(), nullptr);
    return QByteArray(reinterpret_cast<const char *>(digest), int(length)).toHex();
}
