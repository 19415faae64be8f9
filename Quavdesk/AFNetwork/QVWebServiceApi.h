#pragma once

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>

#include "QVHttpBaseRequest.h"

class QNetworkReply;

// The maker's web service: the version requests go to its web-service
// address, feedback to its API server (QVServiceAddresses).
namespace QVWebService {

inline const QString kSeriesPath = QStringLiteral("api/official/app/version/support/series");
inline const QString kCheckPath = QStringLiteral("api/official/app/version/support/check");
inline const QString kFeedbackPath = QStringLiteral("/api/common/feedback");

// The product's series name asked for.
inline const QString kSeriesName = QStringLiteral("Quav投屏");
// The series entries this program takes: both members equal this.
inline const QString kSeriesPlatform = QStringLiteral("Mac");
inline const QString kSeriesDesc = QStringLiteral("Mac");
// Written before the operating-system text in the feedback's "platform".
inline const QString kFeedbackPlatformPrefix = QStringLiteral("macOS_");

inline constexpr qint64 kSuccessCode = QVHttpBaseRequest::kWebServiceSuccessCode;

} // namespace QVWebService

// The product's series: "data" is an array of entries with "seriesId",
// "platform" and "desc".
class QVGetSeriesWithNameApi : public QVHttpBaseRequest {
    Q_OBJECT
public:
    QVGetSeriesWithNameApi() = default;
    QString requestBaseUrl() const override;
    QString requestSuffixUrl() const override { return QVWebService::kSeriesPath; }
    QVariantMap requestAppendArgument() const override;

    // The "seriesId" of every entry whose "platform" and "desc" are both
    // "Mac", in answer order. None unless the answer is code 1000 with an
    // array as "data"; entries of another shape are passed over.
    static std::optional<QList<qint64>> macSeriesIds(const QVHttpBaseResponse &response);
};

// Whether a newer version exists: "data" is an object with "buildNumber",
// "downloadUrl", "releaseDate", "softwareSize" and "isForce".
class QVCheckNewVersionApi : public QVHttpBaseRequest {
    Q_OBJECT
public:
    explicit QVCheckNewVersionApi(qint64 seriesId) : m_seriesId(seriesId) {}
    qint64 seriesId() const { return m_seriesId; }
    QString requestBaseUrl() const override;
    QString requestSuffixUrl() const override { return QVWebService::kCheckPath; }
    QVariantMap requestAppendArgument() const override;

    // The offer, when the answer is code 1000 with an object as "data".
    static std::optional<QJsonObject> versionData(const QVHttpBaseResponse &response);

private:
    qint64 m_seriesId;
};

// What the feedback body says about this installation.
struct QVFeedbackInfo {
    QString version;
    QString build;
    QString operatingSystemVersion;
    QString mac;
    std::optional<QString> language;

    // This installation's values.
    static QVFeedbackInfo current();
};

// The feedback form's request: a JSON POST to the API server that the
// service accepts with code 1000. Ends in exactly one call of its
// completion: accepted or not (no answer, no address, an answer that is not
// an object with code 1000).
class QVFeedbackApi : public QObject {
    Q_OBJECT
public:
    using Completion = std::function<void(bool accepted)>;

    explicit QVFeedbackApi(QObject *parent = nullptr);
    ~QVFeedbackApi() override;

    // The JSON object sent for `content`.
    static QJsonObject feedbackBody(const QVFeedbackInfo &info, const QString &content);
    // Whether an answer body means "accepted".
    static bool isAccepted(const QByteArray &answer);

    void setTimings(const QVHttpTimings &timings) { m_timings = timings; }
    // An answer larger than this is not accepted (and not read on).
    void setMaxAnswerBytes(qint64 bytes) { m_maxAnswerBytes = bytes; }
    // The HTTP client to send with (the program's shared one); one of this
    // object's own when none is given.
    void setManager(QNetworkAccessManager *manager);

    void send(const QString &content, Completion completion);
    void send(const QVFeedbackInfo &info, const QString &content, Completion completion);
    void cancel();

private:
    void finish(bool accepted);

    QVHttpTimings m_timings;
    qint64 m_maxAnswerBytes = QVHttpBaseRequest::kDefaultMaxAnswerBytes;
    QPointer<QNetworkAccessManager> m_manager;
    QPointer<QNetworkReply> m_reply;
    Completion m_completion;
};
