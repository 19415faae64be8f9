#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <optional>

// Identifiers and text validators of the string category. Pure functions
// apart from the clock, the random source and the machine's identity; safe
// on any thread.
//
// A validator's pattern is an ICU regular expression that must cover the
// whole text, as a "matches" predicate asks: anchors change nothing, and a
// pattern without them still has to match from the first character to the
// last. "\d" and "\w" are Unicode classes. A pattern that does not compile
// matches nothing.

// A new random (version 4) UUID: 36 characters, upper-case hexadecimal in
// groups of 8-4-4-4-12.
QString rv_UUID();
// Now as whole milliseconds since 1970-01-01 00:00 UTC, in decimal digits.
QString rv_timeStamp();
// The machine's stable identity (the system's machine ID) in the form of a
// UUID, upper case; nothing when the system has none.
std::optional<QString> rv_platform_uuid();
// The same form made from a machine ID (32 hexadecimal digits); nothing when
// it is not one.
std::optional<QString> rv_platformUuidFromMachineId(const QByteArray &machineId);

bool rv_isValidateByRegex(const QString &text, const QString &pattern);

bool rv_isMobileNumber(const QString &text);
bool rv_isEmailAddress(const QString &text);
bool rv_simpleVerifyIdentityCardNum(const QString &text);
bool rv_isCarNumber(const QString &text);
bool rv_isMacAddress(const QString &text);
bool rv_isValidUrl(const QString &text);
bool rv_isValidChinese(const QString &text);
// Not empty, and only white space and line breaks.
bool rv_isBlankSpace(const QString &text);
bool rv_isInteger(const QString &text);
bool rv_isPositiveInteger(const QString &text);
bool rv_isNegativeInteger(const QString &text);
bool rv_Non_PositiveInteger(const QString &text);
bool rv_Non_NegativeInteger(const QString &text);
bool rv_PositiveFloat(const QString &text);
bool rv_NegativeFloat(const QString &text);
bool rv_isValidPostalcode(const QString &text);
bool rv_isValidTaxNo(const QString &text);
// Every character an ASCII letter (the whole text must match).
bool rv_isTheFirstLetterALetter(const QString &text);

// Between `minLength` and `maxLength` characters of A-Z, a-z, 0-9 and "_",
// and CJK ideographs U+4E00..U+9FA5 when `containChinese`; with
// `firstCannotBeDigit` the first character is a letter or "_". A minimum
// above the maximum, or a minimum of 0 with the first-character rule,
// matches nothing.
bool rv_isValidWithMinLenth(const QString &text, qsizetype minLength, qsizetype maxLength, bool containChinese,
                            bool firstCannotBeDigit);
// Between `minLength` and `maxLength` characters of A-Z, a-z, 0-9, the CJK
// ideographs when `containChinese`, and the characters of
// `otherCharacters` (each taken literally); with `containDigit` at least
// one digit, with `containLetter` at least one ASCII letter, with
// `firstCannotBeDigit` a letter or "_" first.
bool rv_isValidWithMinLenth(const QString &text, qsizetype minLength, qsizetype maxLength, bool containChinese,
                            bool containDigit, bool containLetter, const std::optional<QString> &otherCharacters,
                            bool firstCannotBeDigit);

// A resident identity number of 15 or 18 characters (white space around it
// ignored): a known region, a real birth date (18 characters: born 1800 to
// 2099; 15 characters: born 1900 to 1999), and for 18 characters the
// MOD 11-2 check character, "x" or "X" for ten.
bool rv_accurateVerifyIDCardNumber(const QString &text);
// The Luhn check with the last character as the check digit; a character
// that is no digit counts as 0. An empty text fails.
bool rv_bankCardluhmCheck(const QString &text);
// Four dot-separated parts of one to three ASCII digits, each at most 255;
// leading zeros allowed ("010" is 10).
bool rv_isIPAddress(const QString &text);
