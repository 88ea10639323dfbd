#include "platform/ocr/RecognitionLanguages.h"

#include "platform/ocr/TextRecognizer.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace vmk::platform {

namespace {

constexpr int kMaxLanguages = 3;

} // namespace

QString tesseractLanguageCode(const QString& localeName)
{
    const QLocale locale(localeName);
    if (locale.language() == QLocale::C || locale.language() == QLocale::AnyLanguage)
        return QString();
    // Tesseract names its data by the three-letter terminology codes, with a few script variants.
    switch (locale.language()) {
    case QLocale::Chinese:
        return locale.script() == QLocale::TraditionalHanScript
                || (locale.script() == QLocale::AnyScript
                    && (locale.territory() == QLocale::Taiwan || locale.territory() == QLocale::HongKong))
            ? QStringLiteral("chi_tra")
            : QStringLiteral("chi_sim");
    case QLocale::NorwegianBokmal:
    case QLocale::NorwegianNynorsk:
        return QStringLiteral("nor");
    case QLocale::Serbian:
        return locale.script() == QLocale::LatinScript ? QStringLiteral("srp_latn") : QStringLiteral("srp");
    case QLocale::Malay:
        return QStringLiteral("msa");
    default:
        break;
    }
    return QLocale::languageToCode(locale.language(), QLocale::ISO639Part2T);
}

QString recognitionLanguages(const QStringList& localeNames, const QString& dataPath)
{
    const QDir data(dataPath);
    const QString english = QStringLiteral("eng");
    QStringList languages;
    for (const QString& name : localeNames) {
        const QString code = tesseractLanguageCode(name);
        if (code.isEmpty() || code == english || languages.contains(code))
            continue;
        if (!QFileInfo::exists(data.filePath(code + QStringLiteral(".traineddata"))))
            continue;
        languages.append(code);
        if (languages.size() == kMaxLanguages - 1)
            break;
    }
    languages.append(english);
    return languages.join(QLatin1Char('+'));
}

QString defaultRecognitionLanguages()
{
    // The system locale's list follows LANGUAGE, then LC_ALL, LC_MESSAGES and LANG.
    static const QString languages = recognitionLanguages(QLocale::system().uiLanguages(), TextRecognizer::dataPath());
    return languages;
}

} // namespace vmk::platform
