#include "signatures/SignatureStyles.h"

#include "platform/fonts/FontService.h"

namespace vmk::signatures {

const QList<SignatureInkColor>& signatureInkColors()
{
    static const QList<SignatureInkColor> colors = {
        {QStringLiteral("Black"), QColor::fromRgbF(0.08f, 0.08f, 0.10f, 1.0f)},
        {QStringLiteral("Blue"), QColor::fromRgbF(0.07f, 0.20f, 0.55f, 1.0f)},
    };
    return colors;
}

const QList<SignatureFont>& signatureFontCandidates()
{
    // The handwriting faces the set-up installs; any that are missing are simply not offered.
    static const QList<SignatureFont> candidates = {
        {QStringLiteral("Dancing Script"), QStringLiteral("DancingScript")},
        {QStringLiteral("Kaushan Script"), QStringLiteral("KaushanScript-Regular")},
        {QStringLiteral("Kristi"), QStringLiteral("Kristi")},
    };
    return candidates;
}

bool canMakeSignatureFont(const QString& postScript)
{
    return platform::FontService::fontNamed(postScript, 12.0).isValid();
}

const QList<SignatureFont>& signatureFonts()
{
    static const QList<SignatureFont> fonts = [] {
        QList<SignatureFont> kept;
        for (const SignatureFont& candidate : signatureFontCandidates()) {
            if (canMakeSignatureFont(candidate.postScript))
                kept.append(candidate);
        }
        return kept;
    }();
    return fonts;
}

QFont signatureQFont(const QString& postScript, double pixelSize)
{
    const platform::Font font = platform::FontService::fontNamed(postScript, pixelSize);
    if (font.isValid()) {
        QFont qfont = font.toQFont(pixelSize);
        // Contextual alternates and ligatures give glyphs that map back to no character, which would leave
        // holes in the text other programs extract from typed artwork.
        qfont.setStyleStrategy(QFont::PreferNoShaping);
        return qfont;
    }
    QFont fallback;
    fallback.setPixelSize(qMax(1, qRound(pixelSize)));
    return fallback;
}

} // namespace vmk::signatures
