#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <chrono>
#include <functional>
#include <memory>

#include "QVHttpBaseResponse.h"
#include "TavlinError.h"

#include <QNetworkAccessManager>

// What the program's HTTP requests wait for. Production values are these.
struct QVHttpTimings {
    // Every request of the request base; idle time, restarted by each byte.
    std::chrono::milliseconds requestTimeout{8000};
    // The feedback form's request.
    std::chrono::milliseconds feedbackTimeout{30000};
};

// The exchange a block reports on: what was sent and the HTTP side of the
// answer (the file-share server puts information into answer headers).
struct QVHttpTask {
    QUrl url;
    QByteArray method;
    QList<QPair<QByteArray, QByteArray>> requestHeaders;
    // The answer's HTTP status; 0 when no answer came.
    int statusCode = 0;
    QList<QPair<QByteArray, QByteArray>> responseHeaders;

    // The answer header of that name (case-insensitive); empty when absent.
    QByteArray responseHeader(const QByteArray &name) const;
    bool hasResponseHeader(const QByteArray &name) const;
};

// The base of every request object: a subclass answers the hooks (address,
// path, headers, arguments, method) and sends itself with one of the two
// start methods, for the maker's web service or for the receiver's
// file-share server.
//
// Make request objects with std::make_shared: a running request then keeps
// itself alive until its block has run. Each request object has its own HTTP
// client. Blocks run on the thread of the request object (the main thread),
// exactly once per start: the success block or the failure block.
class QVHttpBaseRequest : public QObject, public std::enable_shared_from_this<QVHttpBaseRequest> {
    Q_OBJECT
public:
    using SuccessBlock = std::function<void(const QVHttpTask &task, const QVHttpBaseResponse &response)>;
    using FailureBlock = std::function<void(const QVHttpTask &task, const TavlinError &error)>;

    enum HttpRequestType : qint64 { GET = 0, POST = 1, PUT = 2, DELETE = 3 };

    // The web service's result codes.
    static constexpr qint64 kWebServiceSuccessCode = 1000;
    static constexpr qint64 kWebServiceInternalErrorCode = 1001;
    // An answer larger than this is refused, while it is read: a larger
    // declared length before its body, an endless body once it passes this.
    static constexpr qint64 kDefaultMaxAnswerBytes = 32 * 1024 * 1024;

    QVHttpBaseRequest();
    ~QVHttpBaseRequest() override;

    // Hooks.
    // Scheme, host and port, without a final "/".
    virtual QString requestBaseUrl() const;
    // The path, without a leading "/".
    virtual QString requestSuffixUrl() const;
    virtual QList<QPair<QString, QString>> requestHeader() const;
    virtual QVariantMap requestAppendArgument() const;
    virtual qint64 httpRequestType() const;
    // Seconds.
    virtual double requestTimeoutInterval() const;
    // 1 writes the arguments into the URL by hand; any other value hands them
    // to the HTTP client.
    virtual qint64 splicingUrlType() const;
    // Whether a web-service code other than 1000 is handled here and kept
    // from the caller's success block: YES for 1001, which is logged.
    virtual bool handleErrorCode(qint64 code) const;

    // "base/path", with "?query" when the arguments are written by hand.
    QString completeUrl() const;

    // The HTTP client, made on first use.
    QNetworkAccessManager *manager();
    // Replaces the client; the request takes it over when it has no parent.
    void setManager(QNetworkAccessManager *manager);

    // The maker's web service: not sent while the reachability flag is down.
    // Code 1000 and every code but 1001 reach the success block; 1001, a
    // missing network and every transport failure reach the failure block.
    void startQUAVRequestWithSuccess(SuccessBlock success, FailureBlock failure);
    // The receiver's file-share server (GET only; a redirect is not followed
    // but fails): every answer reaches the success block whatever its code,
    // with JSON text in "content" decoded.
    void startGlimraHubRequestWithSuccess(SuccessBlock success, FailureBlock failure);

    // Stops every running exchange of this object; each reports the
    // cancellation to its failure block, after this call has returned.
    void cancel();
    bool isRunning() const { return !m_tasks.isEmpty(); }

    static void setDefaultTimings(const QVHttpTimings &timings);
    static QVHttpTimings defaultTimings();
    void setTimings(const QVHttpTimings &timings) { m_timings = timings; }
    const QVHttpTimings &timings() const { return m_timings; }
    void setMaxAnswerBytes(qint64 bytes) { m_maxAnswerBytes = bytes; }

    // The answer types the request base reads as JSON.
    static const QList<QByteArray> &acceptableContentTypes();
    // A URL, header list or argument table with password values replaced by
    // "***", as it may be written to the log.
    static QString redactedUrl(const QString &url);
    static QVariantMap redactedParameters(const QVariantMap &parameters);

private:
    class Task;
    friend class Task;
    enum class Road { WebService, FileShare };

    void start(Road road, SuccessBlock success, FailureBlock failure);
    void taskEnded(Task *task);

    QPointer<QNetworkAccessManager> m_manager;
    QList<Task *> m_tasks;
    QVHttpTimings m_timings;
    qint64 m_maxAnswerBytes = kDefaultMaxAnswerBytes;
};
