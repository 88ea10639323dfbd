#include "platform/fonts/Font.h"

namespace vmk::platform {

struct Font::Data {};

QString Font::postScriptName() const { return {}; }
QString Font::familyName() const { return {}; }
QString Font::fullName() const { return {}; }
QString Font::styleName() const { return {}; }
QString Font::filePath() const { return {}; }
int Font::faceIndex() const { return 0; }
bool Font::isBold() const { return false; }
bool Font::isItalic() const { return false; }
bool Font::isFixedPitch() const { return false; }
int Font::weight() const { return 400; }
qreal Font::pointSize() const { return m_pointSize; }
Font Font::withPointSize(qreal s) const { Font f = *this; f.m_pointSize = s; return f; }
int Font::unitsPerEm() const { return 0; }
int Font::ascenderUnits() const { return 0; }
int Font::descenderUnits() const { return 0; }
qreal Font::ascenderPerEm() const { return 0; }
qreal Font::descenderPerEm() const { return 0; }
qreal Font::ascender() const { return 0; }
qreal Font::descender() const { return 0; }
QList<quint32> Font::tableTags() const { return {}; }
QByteArray Font::tableData(quint32) const { return {}; }
QByteArray Font::fileData() const { return {}; }
QFont Font::toQFont(qreal) const { return {}; }
QPainterPath Font::textPath(const QString&, PathOrientation) const { return {}; }
qreal Font::advanceWidth(const QString&) const { return 0; }
quint32 Font::tag(const char (&c)[5])
{
    return (quint32(quint8(c[0])) << 24) | (quint32(quint8(c[1])) << 16) | (quint32(quint8(c[2])) << 8) | quint8(c[3]);
}
bool operator==(const Font& a, const Font& b) { return a.d == b.d && a.m_pointSize == b.m_pointSize; }

} // namespace vmk::platform
