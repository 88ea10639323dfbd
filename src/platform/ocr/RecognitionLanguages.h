#pragma once

#include <QString>
#include <QStringList>

namespace vmk::platform {

// Which Tesseract languages to read with: those of the given locale names (BCP 47, most preferred first,
// as QLocale::uiLanguages() lists them) whose data is installed in dataPath, followed by English. At most
// three languages, since every further model slows each page down. Joined by "+", e.g. "deu+eng".
QString recognitionLanguages(const QStringList& localeNames, const QString& dataPath);

// The same for the user's locale and the installed data; worked out once per process.
QString defaultRecognitionLanguages();

// Tesseract's code for a locale name ("de-AT" gives "deu", "zh-Hant-TW" gives "chi_tra"); empty when the
// name has no language Tesseract knows by that code.
QString tesseractLanguageCode(const QString& localeName);

} // namespace vmk::platform
