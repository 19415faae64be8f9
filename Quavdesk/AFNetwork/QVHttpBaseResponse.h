#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <optional>

// An answer of the web service or of the receiver's file-share server, mapped
// member by member from the answer's top-level JSON object.
struct QVHttpBaseResponse {
    // The answer's message text.
    QString msg;
    // The result code: 1000 success for the web service; the receiver's codes
    // per endpoint. A number or a numeric text; 0 when absent or unreadable.
    qint64 code = 0;
    // The web service's payload.
    QJsonValue data = QJsonValue(QJsonValue::Undefined);
    // Mapped, read by nobody.
    QJsonValue body = QJsonValue(QJsonValue::Undefined);
    // The receiver's payload; on the file-share road JSON text in it is
    // replaced by the decoded object or array.
    QJsonValue content = QJsonValue(QJsonValue::Undefined);
    // The byte offset the receiver expects next: set when the member is a
    // whole number (or the text of one).
    std::optional<qint64> byteStart;

    static QVHttpBaseResponse fromJsonObject(const QJsonObject &object);

    // When `content` is a text whose UTF-8 bytes parse as a JSON object or
    // array, `content` becomes that value; any other text stays as received.
    void decodeContentText();
};

// Reading a JSON value the way the answers' mapping does, tolerant of numbers
// sent as text and of values of the wrong type.
namespace QVJsonValue {

// A whole number from a number or a numeric text; none otherwise.
std::optional<qint64> integerValue(const QJsonValue &value);
// true, a non-zero number, or a text starting with "t", "T", "y", "Y" or a
// non-zero digit; everything else (also absence) is false.
bool boolValue(const QJsonValue &value);
// The member `key` of `value` when `value` is an object; undefined otherwise.
QJsonValue member(const QJsonValue &value, const QString &key);

} // namespace QVJsonValue
