#include "Main/ViewController/Setting/QVNewVersionInfoModel.h"

#include "PublicManager/QVLog.h"
#include "PublicManager/QVPublicTools.h"
#include "QVHttpBaseResponse.h"
#include "QVServiceAddresses.h"

#include <QDesktopServices>
#include <QJsonValue>

namespace {

// A text member, or the text of a number sent in its place.
QString textMember(const QJsonObject &data, const char *key)
{
    const QJsonValue value = data.value(QLatin1String(key));
    if (value.isString())
        return value.toString();
    if (value.isDouble()) {
        const double number = value.toDouble();
        const qint64 whole = qint64(number);
        if (double(whole) == number)
            return QString::number(whole);
        return QString::number(number, 'g', 15);
    }
    return QString();
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The digit run of `text` that starts at `from`.
QStringView digitRun(const QString &text, qsizetype from)
{
    qsizetype end = from;
    while (end < text.size() && isAsciiDigit(text.at(end)))
        ++end;
    return QStringView(text).mid(from, end - from);
}

// Compares two runs of digits by value, of any length.
int compareDigitRuns(QStringView left, QStringView right)
{
    while (left.size() > 1 && left.front() == u'0')
        left = left.mid(1);
    while (right.size() > 1 && right.front() == u'0')
        right = right.mid(1);
    if (left.size() != right.size())
        return left.size() < right.size() ? -1 : 1;
    return left.compare(right);
}

} // namespace

QVNewVersionInfoModel QVNewVersionInfoModel::fromJson(const QJsonObject &data)
{
    QVNewVersionInfoModel model;
    model.isForce = QVJsonValue::boolValue(data.value(QStringLiteral("isForce")));
    model.buildNumber = textMember(data, "buildNumber");
    model.downloadUrl = textMember(data, "downloadUrl");
    model.releaseDate = textMember(data, "releaseDate");
    model.softwareSize = textMember(data, "softwareSize");
    return model;
}

std::optional<QVNewVersionInfoModel> QVNewVersionInfoModel::fromVariant(const QVariant &value)
{
    if (!value.isValid() || value.metaType() != QMetaType::fromType<QVNewVersionInfoModel>())
        return std::nullopt;
    return value.value<QVNewVersionInfoModel>();
}

QVariant QVNewVersionInfoModel::toVariant() const
{
    return QVariant::fromValue(*this);
}

bool QVNewVersionInfoModel::checkNeedUpdate() const
{
    return checkNeedUpdate(QVPublicTools::appVersion(), buildNumber);
}

bool QVNewVersionInfoModel::checkNeedUpdate(const QString &appVersion, const QString &buildNumber)
{
    return compareVersions(appVersion, buildNumber) < 0;
}

bool QVNewVersionInfoModel::checkNeedUpdate(const QVariant &value)
{
    const std::optional<QVNewVersionInfoModel> model = fromVariant(value);
    return model && model->checkNeedUpdate();
}

int QVNewVersionInfoModel::compareVersions(const QString &left, const QString &right)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < left.size() && j < right.size()) {
        if (isAsciiDigit(left.at(i)) && isAsciiDigit(right.at(j))) {
            const QStringView a = digitRun(left, i);
            const QStringView b = digitRun(right, j);
            if (const int order = compareDigitRuns(a, b))
                return order;
            i += a.size();
            j += b.size();
            continue;
        }
        if (left.at(i) != right.at(j))
            return left.at(i) < right.at(j) ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < left.size())
        return 1;
    if (j < right.size())
        return -1;
    return 0;
}

namespace QVDownloadPage {

QUrl url()
{
    return url(QVServiceAddresses::webSiteUrl(), QVPublicTools::sharedPublicTools()->getCurrentShowLanguage());
}

QUrl url(const QString &webSite, const QString &showLanguage)
{
    if (webSite.isEmpty())
        return QUrl();
    const QString path = showLanguage == QStringLiteral("zh-Hans") ? kChinesePath : kInternationalPath;
    const QUrl page(webSite + path, QUrl::StrictMode);
    if (!page.isValid() || page.host().isEmpty())
        return QUrl();
    return page;
}

void open(const char *caller)
{
    const QUrl page = url();
    if (page.isEmpty()) {
        QVLogInfo(0, QStringLiteral("%1 no download page: the program knows no web site").arg(QLatin1String(caller)));
        return;
    }
    QVLogInfo(0, QStringLiteral("%1 open download page %2").arg(QLatin1String(caller), page.toString()));
    QDesktopServices::openUrl(page);
}

} // namespace QVDownloadPage
