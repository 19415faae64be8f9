#pragma once

#include <QByteArray>
#include <QByteArrayView>

typedef struct evp_md_ctx_st EVP_MD_CTX;

// An MD5 digest fed piece by piece, as a chunk's bytes arrive. Backed by
// libcrypto, whose MD5 keeps up with the network on loopback where Qt's own
// falls behind by a few per cent.
class QVMd5
{
public:
    QVMd5();
    ~QVMd5();
    QVMd5(const QVMd5 &) = delete;
    QVMd5 &operator=(const QVMd5 &) = delete;

    void addData(QByteArrayView bytes);
    // 32 lower-case hexadecimal digits of everything added; the digest starts
    // over afterwards.
    QByteArray hexResult();

private:
    EVP_MD_CTX *m_context;
};
