#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QString>

namespace vmk::signatures {

// An ink the signature editor offers.
struct SignatureInkColor {
    QString name;
    QColor color;
};

// A handwriting font the signature editor offers for typed signatures.
struct SignatureFont {
    QString name;       // shown to the user
    QString postScript; // how the font is looked up
};

// "Black" and "Blue", in that order. Built once.
const QList<SignatureInkColor>& signatureInkColors();

// The handwriting fonts that can actually be made on this computer, in the candidates' order. Built once;
// may be empty when none is installed.
const QList<SignatureFont>& signatureFonts();

// The candidates the list above is filtered from, and the filter itself (exposed so callers can check a
// font without relying on the cached list).
const QList<SignatureFont>& signatureFontCandidates();
bool canMakeSignatureFont(const QString& postScript);

// A Qt font for the PostScript name sized in pixels (one pixel is one point on a page); an invalid family
// gives Qt's substitute, so check canMakeSignatureFont first.
QFont signatureQFont(const QString& postScript, double pixelSize);

} // namespace vmk::signatures
