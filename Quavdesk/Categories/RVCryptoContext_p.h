#pragma once

#include <openssl/types.h>

// The library context that the digests and ciphers of the categories fetch
// their algorithms from. It loads OpenSSL's legacy provider (MD4, DES, CAST,
// RC4) beside the default one, privately, so that the rest of the process
// keeps OpenSSL's default policy. Made once, on first use, on any thread;
// null only when OpenSSL cannot make a context at all.
OSSL_LIB_CTX *rvCryptoLibraryContext();

// A digest or cipher of that context by OpenSSL name, fetched once and kept
// for the life of the process; null when no loaded provider has it.
const EVP_MD *rvFetchedDigest(const char *name);
const EVP_CIPHER *rvFetchedCipher(const char *name);
