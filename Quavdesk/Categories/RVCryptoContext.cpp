#include "Categories/RVCryptoContext_p.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <openssl/evp.h>
#include <openssl/provider.h>

namespace {

struct FetchCache {
    QMutex mutex;
    QHash<QByteArray, EVP_MD *> digests;
    QHash<QByteArray, EVP_CIPHER *> ciphers;
};

FetchCache &fetchCache()
{
    // Never destroyed: OpenSSL tears its providers down at exit on its own,
    // and freeing fetched algorithms after that would touch freed memory.
    static FetchCache *cache = new FetchCache;
    return *cache;
}

} // namespace

OSSL_LIB_CTX *rvCryptoLibraryContext()
{
    static OSSL_LIB_CTX *const context = [] {
        OSSL_LIB_CTX *made = OSSL_LIB_CTX_new();
        if (made) {
            // Without the legacy module the modern algorithms still work and
            // the old ones fail as unknown.
            OSSL_PROVIDER_load(made, "legacy");
            OSSL_PROVIDER_load(made, "default");
        }
        return made;
    }();
    return context;
}

const EVP_MD *rvFetchedDigest(const char *name)
{
    FetchCache &cache = fetchCache();
    QMutexLocker locker(&cache.mutex);
    const QByteArray key(name);
    auto found = cache.digests.constFind(key);
    if (found != cache.digests.constEnd())
        return found.value();
    EVP_MD *digest = rvCryptoLibraryContext() ? EVP_MD_fetch(rvCryptoLibraryContext(), name, nullptr) : nullptr;
    cache.digests.insert(key, digest);
    return digest;
}

const EVP_CIPHER *rvFetchedCipher(const char *name)
{
    FetchCache &cache = fetchCache();
    QMutexLocker locker(&cache.mutex);
    const QByteArray key(name);
    auto found = cache.ciphers.constFind(key);
    if (found != cache.ciphers.constEnd())
        return found.value();
    EVP_CIPHER *cipher = rvCryptoLibraryContext() ? EVP_CIPHER_fetch(rvCryptoLibraryContext(), name, nullptr) : nullptr;
    cache.ciphers.insert(key, cipher);
    return cipher;
}
