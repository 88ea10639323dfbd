#pragma once

#include <QByteArray>
#include <QFont>
#include <QList>
#include <QPainterPath>
#include <QString>
#include <QtGlobal>

#include <memory>

namespace vmk::platform {

// Which way a glyph outline path's y axis grows. PDF drawing wants y up (the baseline at y = 0, ascenders
// positive); QPainter wants y down.
enum class PathOrientation { YUp, YDown };

// An installed font face at a point size: a small value type (copies share the face's data). The invalid
// (default) font stands for "missing". All members are safe to call from any thread.
class Font {
public:
    struct Data; // the face's description, filled by FontService

    Font() = default;

    bool isValid() const { return d != nullptr; }

    QString postScriptName() const;
    QString familyName() const;
    QString fullName() const;
    QString styleName() const;
    // The file the face came from and its index in that file (collections hold several faces).
    QString filePath() const;
    int faceIndex() const;

    bool isBold() const;       // weight at or above semibold
    bool isItalic() const;     // italic or oblique
    bool isFixedPitch() const;
    int weight() const;        // 100 (thin) .. 900 (black), 400 regular, 700 bold

    qreal pointSize() const;
    Font withPointSize(qreal pointSize) const;

    // Vertical metrics from the font's tables. Descender is negative (below the baseline).
    int unitsPerEm() const;
    int ascenderUnits() const;
    int descenderUnits() const;
    qreal ascenderPerEm() const;  // ascenderUnits / unitsPerEm
    qreal descenderPerEm() const; // negative
    qreal ascender() const;       // at pointSize
    qreal descender() const;      // at pointSize, negative

    // The sfnt table tags of the face (big-endian four-character codes as 32-bit numbers, e.g. 0x676C7966
    // for 'glyf'), in the order the font file lists them, and one table's bytes (empty when absent). Enough
    // to rebuild an embeddable font file.
    QList<quint32> tableTags() const;
    QByteArray tableData(quint32 tag) const;
    // The whole font file as stored on disk (for a collection, the whole collection).
    QByteArray fileData() const;

    // A Qt font selecting this very face, sized in pixels (on screen, points of the page are logical pixels).
    QFont toQFont(qreal pixelSize) const;
    QFont toQFont() const { return toQFont(pointSize()); }

    // The outlines of text laid out as one line at pointSize (1 point = 1 unit), starting at the origin on
    // the baseline. Characters this face lacks are drawn in the substitute Qt picks for them. Spaces add no
    // outline. Empty for empty text or text without any outline.
    QPainterPath textPath(const QString& text, PathOrientation orientation = PathOrientation::YUp) const;
    // Advance width of text laid out as one line at pointSize.
    qreal advanceWidth(const QString& text) const;

    static quint32 tag(const char (&fourChars)[5]);

    friend bool operator==(const Font& a, const Font& b);

private:
    friend class FontService;
    std::shared_ptr<const Data> d;
    qreal m_pointSize = 12.0;
};

} // namespace vmk::platform
