#include "platform/fonts/Font.h"

#include "platform/fonts/FontData.h"
#include "platform/fonts/FreeTypeFace.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QHash>
#include <QScreen>
#include <QTextLayout>
#include <QThread>

#include <cmath>
#include <mutex>

namespace vmk::platform {

namespace {

// Text is laid out at this large size and scaled down, so that hinting and rounding of a small pixel size
// never move the outlines.
constexpr int kLayoutPixelSize = 1000;

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

std::mutex& qtFamilyLock()
{
    static std::mutex m;
    return m;
}

// The Qt family name that selects the face: the system database normally knows it under fontconfig's
// family name; otherwise the file is registered as an application font (once per file).
QString qtFamilyFor(const Font::Data& d)
{
    static QHash<QString, QString> cache; // "path\nindex" -> Qt family
    const QString key = d.filePath + QLatin1Char('\n') + QString::number(d.faceIndex);
    std::lock_guard guard(qtFamilyLock());
    if (auto it = cache.constFind(key); it != cache.cend())
        return *it;

    QString family = d.families.value(0);
    if (!qGuiApp)
        return family; // Qt fonts need a GUI application; nothing to check against
    QFont probe(family);
    probe.setStyleName(d.styleName);
    if (!sameName(QFontInfo(probe).family(), family) && QThread::currentThread() == qApp->thread()) {
        const int id = QFontDatabase::addApplicationFont(d.filePath);
        const QStringList added = QFontDatabase::applicationFontFamilies(id);
        if (!added.isEmpty())
            family = added.value(qMin<qsizetype>(d.faceIndex, added.size() - 1));
    }
    cache.insert(key, family);
    return family;
}

} // namespace

QString Font::postScriptName() const { return d ? d->postScriptName : QString(); }
QString Font::familyName() const { return d ? d->families.value(0) : QString(); }
QString Font::fullName() const { return d ? d->fullNames.value(0) : QString(); }
QString Font::styleName() const { return d ? d->styleName : QString(); }
QString Font::filePath() const { return d ? d->filePath : QString(); }
int Font::faceIndex() const { return d ? d->faceIndex : 0; }
bool Font::isBold() const { return d && d->weight >= 600; }
bool Font::isItalic() const { return d && d->italic; }
bool Font::isFixedPitch() const { return d && d->fixedPitch; }
int Font::weight() const { return d ? d->weight : 400; }
qreal Font::pointSize() const { return m_pointSize; }

Font Font::withPointSize(qreal pointSize) const
{
    Font f = *this;
    f.m_pointSize = pointSize;
    return f;
}

int Font::unitsPerEm() const { return d ? d->unitsPerEm : 0; }
int Font::ascenderUnits() const { return d ? d->ascender : 0; }
int Font::descenderUnits() const { return d ? d->descender : 0; }
qreal Font::ascenderPerEm() const { return unitsPerEm() > 0 ? qreal(d->ascender) / d->unitsPerEm : 0.0; }
qreal Font::descenderPerEm() const { return unitsPerEm() > 0 ? qreal(d->descender) / d->unitsPerEm : 0.0; }
qreal Font::ascender() const { return ascenderPerEm() * m_pointSize; }
qreal Font::descender() const { return descenderPerEm() * m_pointSize; }

QList<quint32> Font::tableTags() const
{
    return d ? freetype::tableTags(d->filePath, d->faceIndex) : QList<quint32>();
}

QByteArray Font::tableData(quint32 tag) const
{
    return d ? freetype::tableData(d->filePath, d->faceIndex, tag) : QByteArray();
}

QByteArray Font::fileData() const
{
    if (!d)
        return {};
    QFile file(d->filePath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QFont Font::toQFont(qreal pixelSize) const
{
    if (!d)
        return {};
    QFont f(qtFamilyFor(*d));
    f.setStyleName(d->styleName);
    f.setWeight(QFont::Weight(qBound(1, d->weight, 1000)));
    f.setItalic(d->italic);
    const qreal size = pixelSize > 0 ? pixelSize : 12.0;
    const QScreen* screen = qGuiApp ? QGuiApplication::primaryScreen() : nullptr;
    if (std::abs(size - std::round(size)) < 1e-6 || !screen)
        f.setPixelSize(qMax(1, int(std::lround(size))));
    else // QFont takes only whole pixel sizes; a fractional one goes through points at the screen's resolution.
        f.setPointSizeF(size * 72.0 / screen->logicalDotsPerInchY());
    return f;
}

static QFont layoutFont(const Font& font)
{
    QFont f = font.toQFont(kLayoutPixelSize);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setKerning(true);
    return f;
}

// Lays text out as one unwrapped line; returns the line (invalid for empty text).
static QTextLine layoutLine(QTextLayout& layout)
{
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid())
        line.setLineWidth(1.0e7);
    layout.endLayout();
    return line;
}

QPainterPath Font::textPath(const QString& text, PathOrientation orientation) const
{
    if (!d || text.isEmpty())
        return {};
    QString oneLine = text;
    oneLine.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QChar::LineSeparator, QLatin1Char(' '));
    QTextLayout layout(oneLine, layoutFont(*this));
    const QTextLine line = layoutLine(layout);
    if (!line.isValid())
        return {};

    QPainterPath path;
    // Each run carries its own font: characters this face lacks come in Qt's substitute.
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const QRawFont raw = run.rawFont();
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < glyphs.size() && i < positions.size(); ++i) {
            QPainterPath glyph = raw.pathForGlyph(glyphs[i]);
            if (glyph.isEmpty())
                continue;
            glyph.translate(positions[i].x(), positions[i].y() - line.ascent());
            path.addPath(glyph);
        }
    }
    if (path.isEmpty())
        return {};
    const qreal scale = m_pointSize / kLayoutPixelSize;
    QTransform t = QTransform::fromScale(scale, orientation == PathOrientation::YUp ? -scale : scale);
    path = t.map(path);
    path.setFillRule(Qt::WindingFill);
    return path;
}

qreal Font::advanceWidth(const QString& text) const
{
    if (!d || text.isEmpty())
        return 0.0;
    QTextLayout layout(text, layoutFont(*this));
    const QTextLine line = layoutLine(layout);
    return line.isValid() ? line.horizontalAdvance() * m_pointSize / kLayoutPixelSize : 0.0;
}

quint32 Font::tag(const char (&c)[5])
{
    return (quint32(quint8(c[0])) << 24) | (quint32(quint8(c[1])) << 16) | (quint32(quint8(c[2])) << 8)
           | quint32(quint8(c[3]));
}

bool operator==(const Font& a, const Font& b) { return a.d == b.d && a.m_pointSize == b.m_pointSize; }

} // namespace vmk::platform
