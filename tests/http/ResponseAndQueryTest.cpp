// Pure parts of the request base: URL joining, query strings, answer mapping,
// content decoding and the redaction of passwords.

#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

#include "QVHttpBaseRequest.h"
#include "QVHttpBaseResponse.h"
#include "QVQueryString.h"

namespace {

class HookRequest : public QVHttpBaseRequest {
public:
    QString base;
    QString path;
    QVariantMap arguments;
    qint64 splicing = 0;
    QString requestBaseUrl() const override { return base; }
    QString requestSuffixUrl() const override { return path; }
    QVariantMap requestAppendArgument() const override { return arguments; }
    qint64 splicingUrlType() const override { return splicing; }
};

QVHttpBaseResponse mapped(const char *json)
{
    return QVHttpBaseResponse::fromJsonObject(QJsonDocument::fromJson(json).object());
}

} // namespace

TEST(RequestBaseHooks, BaseAnswersAreTheDefaults)
{
    QVHttpBaseRequest request;
    EXPECT_EQ(request.requestBaseUrl(), QString());
    EXPECT_EQ(request.requestSuffixUrl(), QString());
    EXPECT_TRUE(request.requestHeader().isEmpty());
    EXPECT_TRUE(request.requestAppendArgument().isEmpty());
    EXPECT_EQ(request.httpRequestType(), QVHttpBaseRequest::GET);
    EXPECT_DOUBLE_EQ(request.requestTimeoutInterval(), 8.0);
    EXPECT_EQ(request.splicingUrlType(), 0);
    EXPECT_FALSE(request.handleErrorCode(1000));
    EXPECT_FALSE(request.handleErrorCode(1002));
    EXPECT_TRUE(request.handleErrorCode(1001));
}

TEST(RequestBaseHooks, CompleteUrlJoinsWithOneSlashAndAddsArgumentsOnlyWhenSplicing)
{
    HookRequest request;
    request.base = QStringLiteral("http://10.0.0.5:8652");
    request.path = QStringLiteral("api/glimra/fileShare/functions");
    request.arguments = {{"b", "2"}, {"a", "x y"}};
    EXPECT_EQ(request.completeUrl(), QStringLiteral("http://10.0.0.5:8652/api/glimra/fileShare/functions"));
    request.splicing = 1;
    EXPECT_EQ(request.completeUrl(), QStringLiteral("http://10.0.0.5:8652/api/glimra/fileShare/functions?a=x%20y&b=2"));
    request.arguments.clear();
    EXPECT_EQ(request.completeUrl(), QStringLiteral("http://10.0.0.5:8652/api/glimra/fileShare/functions"));
}

TEST(QueryString, ValuesEscapeExactlyTheReservedSetAndKeysKeepTheQuerySet)
{
    const QString value = QStringLiteral("!*'();:@&=+$,/?%#[] -_.~aZ9");
    const QString query = QVQueryString::queryStringWithParameters({{"k", value}, {"a:b/c", 5}});
    EXPECT_EQ(query, QStringLiteral("a:b/c=5&k=%21%2A%27%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%25%23%5B%5D%20-_.~aZ9"));
    // Non-ASCII text goes as its UTF-8 bytes.
    EXPECT_EQ(QVQueryString::queryStringWithParameters({{"name", QStringLiteral("Quav投屏")}}),
              QStringLiteral("name=Quav%E6%8A%95%E5%B1%8F"));
}

TEST(QueryString, FormEncodingKeepsOnlyUnreservedSlashAndQuestionMark)
{
    EXPECT_EQ(QVQueryString::formEncodedParameters({{"pwd", "12&34=5 6#/?"}, {"rootKey", "Root-Encrypt"}}),
              QByteArray("pwd=12%2634%3D5%206%23/?&rootKey=Root-Encrypt"));
    EXPECT_TRUE(QVQueryString::formEncodedParameters({}).isEmpty());
}

TEST(QueryString, HelpersWithoutCallersSplitStrictlyAndAppend)
{
    const QVariantMap split = QVQueryString::parametersFromUrlString(
        QStringLiteral("http://h/p?x=1?a=b c&bad&c=d=e&e="));
    EXPECT_EQ(split.value("a").toString(), QStringLiteral("b%20c"));
    EXPECT_EQ(split.value("e").toString(), QString());
    EXPECT_FALSE(split.contains("bad"));
    EXPECT_FALSE(split.contains("c"));
    EXPECT_TRUE(QVQueryString::parametersFromUrlString(QStringLiteral("http://h/p")).isEmpty());

    const QVariantMap strict{{"list", QVariantList{QVariantMap{{"b", 1}, {"a", 2}}}},
                             {"none", QVariant::fromValue(nullptr)},
                             {"s", "a/b"}};
    EXPECT_EQ(QVQueryString::strictQueryStringWithParameters(strict),
              QStringLiteral("list=%5B%7B%22a%22%3A2%2C%22b%22%3A1%7D%5D&none=&s=a%2Fb"));
    EXPECT_EQ(QVQueryString::urlStringByAppendingParameters(QStringLiteral("http://h/p"), {{"a", "1"}}),
              QStringLiteral("http://h/p?a=1"));
}

TEST(ResponseMapping, MembersMapByNameWithNumbersOrNumericTexts)
{
    QVHttpBaseResponse response = mapped(R"({"msg":"ok","code":"206","data":[1],"body":{"x":1},
                                            "content":{"upload":true},"byteStart":"1048576"})");
    EXPECT_EQ(response.msg, QStringLiteral("ok"));
    EXPECT_EQ(response.code, 206);
    EXPECT_TRUE(response.data.isArray());
    EXPECT_TRUE(response.body.isObject());
    EXPECT_TRUE(response.content.isObject());
    ASSERT_TRUE(response.byteStart.has_value());
    EXPECT_EQ(*response.byteStart, 1048576);

    response = mapped(R"({"content":null})");
    EXPECT_EQ(response.code, 0);
    EXPECT_TRUE(response.content.isNull());
    EXPECT_TRUE(response.data.isUndefined());
    EXPECT_FALSE(response.byteStart.has_value());
}

TEST(ResponseMapping, HostileMemberTypesGiveZeroOrNothing)
{
    EXPECT_EQ(mapped(R"({"code":"abc"})").code, 0);
    EXPECT_EQ(mapped(R"({"code":{"x":1}})").code, 0);
    EXPECT_EQ(mapped(R"({"code":[200]})").code, 0);
    EXPECT_EQ(mapped(R"({"code":1e300})").code, 0);
    EXPECT_EQ(mapped(R"({"code":200.7})").code, 200);
    EXPECT_EQ(mapped(R"({"msg":{"x":1}})").msg, QString());
    EXPECT_FALSE(mapped(R"({"byteStart":10.5})").byteStart.has_value());
    EXPECT_FALSE(mapped(R"({"byteStart":"ten"})").byteStart.has_value());
    EXPECT_FALSE(mapped(R"({"byteStart":true})").byteStart.has_value());
    EXPECT_FALSE(mapped(R"({"byteStart":1e30})").byteStart.has_value());
    // A negative offset is kept for the caller to refuse.
    EXPECT_EQ(mapped(R"({"byteStart":-5})").byteStart, std::optional<qint64>(-5));
}

TEST(ResponseMapping, ContentTextBecomesObjectOrArrayAndOtherTextStays)
{
    QVHttpBaseResponse response = mapped(R"({"code":200,"content":"{\"upload\":true,\"download\":false}"})");
    response.decodeContentText();
    ASSERT_TRUE(response.content.isObject());
    EXPECT_TRUE(response.content.toObject().value("upload").toBool());

    response = mapped(R"({"content":"[{\"absPath\":\"Root-Local/a\"}]"})");
    response.decodeContentText();
    ASSERT_TRUE(response.content.isArray());
    EXPECT_EQ(response.content.toArray().size(), 1);

    for (const char *text : {"null", "", "1234", "AB12", "true", "\"x\"", "{broken", " "}) {
        QJsonObject object{{"content", QString::fromUtf8(text)}};
        response = QVHttpBaseResponse::fromJsonObject(object);
        response.decodeContentText();
        ASSERT_TRUE(response.content.isString()) << text;
        EXPECT_EQ(response.content.toString(), QString::fromUtf8(text));
    }

    // Content that already is a value stays as it is.
    response = mapped(R"({"content":{"checkRes":false}})");
    response.decodeContentText();
    EXPECT_FALSE(response.content.toObject().value("checkRes").toBool(true));
    response = mapped(R"({"content":42})");
    response.decodeContentText();
    EXPECT_EQ(response.content.toInt(), 42);
}

TEST(JsonValue, BoolAndIntegerReadingsTolerateTexts)
{
    using namespace QVJsonValue;
    EXPECT_TRUE(boolValue(QJsonValue(true)));
    EXPECT_TRUE(boolValue(QJsonValue(2)));
    EXPECT_TRUE(boolValue(QJsonValue("true")));
    EXPECT_TRUE(boolValue(QJsonValue("YES")));
    EXPECT_TRUE(boolValue(QJsonValue("007")));
    EXPECT_FALSE(boolValue(QJsonValue("0")));
    EXPECT_FALSE(boolValue(QJsonValue("false")));
    EXPECT_FALSE(boolValue(QJsonValue("")));
    EXPECT_FALSE(boolValue(QJsonValue(QJsonValue::Null)));
    EXPECT_FALSE(boolValue(QJsonValue(QJsonValue::Undefined)));
    EXPECT_FALSE(boolValue(QJsonValue(QJsonObject{{"x", true}})));
    EXPECT_EQ(integerValue(QJsonValue("12")), std::optional<qint64>(12));
    EXPECT_EQ(integerValue(QJsonValue(" 12.9 ")), std::optional<qint64>(12));
    EXPECT_EQ(integerValue(QJsonValue("x")), std::nullopt);
    EXPECT_EQ(integerValue(QJsonValue(QJsonArray{1})), std::nullopt);
    EXPECT_TRUE(member(QJsonValue(QJsonArray{1}), "upload").isUndefined());
    EXPECT_TRUE(member(QJsonValue(QJsonObject{{"upload", true}}), "upload").toBool());
}

TEST(Redaction, PasswordsNeverReachTheLogForm)
{
    EXPECT_EQ(QVHttpBaseRequest::redactedUrl(QStringLiteral("http://h/p?pwd=123456&rootKey=R&PWD=9#f")),
              QStringLiteral("http://h/p?pwd=***&rootKey=R&PWD=***#f"));
    EXPECT_EQ(QVHttpBaseRequest::redactedUrl(QStringLiteral("http://h/p?a=1&password=x")),
              QStringLiteral("http://h/p?a=1&password=***"));
    EXPECT_EQ(QVHttpBaseRequest::redactedUrl(QStringLiteral("http://h/pwd=1")), QStringLiteral("http://h/pwd=1"));
    const QVariantMap redacted = QVHttpBaseRequest::redactedParameters({{"pwd", "123456"}, {"rootKey", "Root-Encrypt"}});
    EXPECT_EQ(redacted.value("pwd").toString(), QStringLiteral("***"));
    EXPECT_EQ(redacted.value("rootKey").toString(), QStringLiteral("Root-Encrypt"));
}
