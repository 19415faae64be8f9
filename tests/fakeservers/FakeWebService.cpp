#include "FakeWebService.h"

#include <QJsonDocument>

namespace FakeServers {

const QString FakeWebService::kSeriesPath = QStringLiteral("api/official/app/version/support/series");
const QString FakeWebService::kCheckPath = QStringLiteral("api/official/app/version/support/check");
const QString FakeWebService::kFeedbackPath = QStringLiteral("api/common/feedback");

FakeWebService::FakeWebService(QObject *parent)
    : FakeHttpServer(parent),
      m_series(QJsonArray{QJsonObject{{"seriesId", 12}, {"platform", "Mac"}, {"desc", "Mac"}}}),
      m_versionInfo(QJsonObject{{"buildNumber", "1.0.0"},
                                {"downloadUrl", "http://download.invalid/quavdesk"},
                                {"releaseDate", "2024-01-01"},
                                {"softwareSize", "10MB"},
                                {"isForce", false}})
{
}

HttpAnswer FakeWebService::handle(const HttpRequest &request)
{
    if (request.path == kSeriesPath && request.method == "GET")
        return HttpAnswer::json(QJsonObject{{"code", 1000}, {"msg", "success"}, {"data", m_series}});
    if (request.path == kCheckPath && request.method == "GET")
        return HttpAnswer::json(QJsonObject{{"code", 1000}, {"msg", "success"}, {"data", m_versionInfo}});
    if (request.path == kFeedbackPath && request.method == "POST") {
        const QJsonDocument body = QJsonDocument::fromJson(request.body);
        if (!body.isObject())
            return HttpAnswer::json(QJsonObject{{"code", 1002}, {"msg", "bad body"}});
        m_feedbacks.append(body.object());
        HttpAnswer answer{200, {}, m_feedbackAnswer};
        answer.setHeader("Content-Type", "application/json");
        return answer;
    }
    HttpAnswer missing{404, {}, "not found"};
    missing.setHeader("Content-Type", "text/plain");
    return missing;
}

} // namespace FakeServers
