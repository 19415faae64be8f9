#pragma once

// The maker's web service for tests: the product series, the version check
// and the feedback form, each answering with "code" and "data".

#include <QJsonArray>
#include <QJsonObject>

#include "FakeHttpServer.h"

namespace FakeServers {

class FakeWebService : public FakeHttpServer {
    Q_OBJECT
public:
    // One series entry {"seriesId": 12, "platform": "Mac", "desc": "Mac"};
    // an offer of version "1.0.0", not forced; feedback accepted.
    explicit FakeWebService(QObject *parent = nullptr);

    static const QString kSeriesPath;
    static const QString kCheckPath;
    static const QString kFeedbackPath;

    // "data" of the series answer.
    void setSeries(const QJsonValue &data) { m_series = data; }
    // "data" of the version-check answer.
    void setVersionInfo(const QJsonValue &data) { m_versionInfo = data; }
    // The whole body of the feedback answer.
    void setFeedbackAnswer(const QByteArray &body) { m_feedbackAnswer = body; }

    // The JSON bodies of the feedback received.
    QList<QJsonObject> feedbacks() const { return m_feedbacks; }

protected:
    HttpAnswer handle(const HttpRequest &request) override;

private:
    QJsonValue m_series;
    QJsonValue m_versionInfo;
    QByteArray m_feedbackAnswer = R"({"code":1000,"msg":"success","data":null})";
    QList<QJsonObject> m_feedbacks;
};

} // namespace FakeServers
