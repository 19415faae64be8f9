#pragma once

#include <QString>
#include <QStringList>

namespace Platform {
class KeyValueStore;
}

// The program's texts and its in-program language switch, and the working
// folders of the program under the temporary folder.
//
// Texts come from Qt translation files compiled into the program, one per
// area of the program and language: "<area>_<language>.qm" under the texts
// folder. English ("en") holds a text for every key and is always
// installed; a language's own files go over it. Keys without any text show
// as the key itself.
namespace QVBundleAdd {

inline const QString AppleLanguagesKey = QStringLiteral("AppleLanguages");
inline const QString TextsFolder = QStringLiteral(":/translations");
inline const QString BaseLanguage = QStringLiteral("en");

// Installs the texts of `language` over the English ones, replacing what an
// earlier call installed. Returns the language whose own files went over
// English: empty when there were none (English only).
QString installTexts(const QString &language, const QString &folder = TextsFolder);

// The language the switch stored; empty when none is.
QString storedLanguage(const Platform::KeyValueStore &store);

// Shows the program in `language` from now on (empty: English) and keeps
// the choice for the next start.
void setAppLanguage(const QString &language, Platform::KeyValueStore &store);
// Keeps the choice: a one-element list under "AppleLanguages"; empty
// removes it.
void setupCurrentLanguage(const QString &language, Platform::KeyValueStore &store);

// The program's folder in the temporary folder (the home folder when there
// is none), named after the program; each helper creates its folder when
// missing.
QString appHomeDirectory();
// "temp" in the program's folder.
QString appTempDirectory();
// "work" and "reset" in the temp folder.
QString appWorkDirectory();
QString appResetDirectory();
// A new, unused picture path in the reset folder.
QString appRandomResetPath();

} // namespace QVBundleAdd
