// Retyping and deleting text blocks, and embedding the fonts that retyped text needs.

#include "core/pdfium/PDFEditSession.h"

#include "core/pdfium/EditTextRules.h"
#include "core/pdfium/FontMatching.h"
#include "core/pdfium/TextLayout.h"
#include "platform/fonts/FontSubset.h"

#include <algorithm>
#include <limits>

namespace vmk::core {

PDFiumResult<std::pair<FPDF_FONT, QString>> PDFEditSession::loadedFont(const platform::Font& font, const QString& text)
{
    const QString name = font.postScriptName();
    // One subset per face and set of characters: a few words embed a few kilobytes, not the whole face.
    std::set<char32_t> scalars = editrules::unicodeScalarSet(text);
    const QString key = name + QLatin1Char('|') + QString::fromStdU32String(std::u32string(scalars.begin(), scalars.end()));
    if (const auto it = m_loadedFonts.constFind(key); it != m_loadedFonts.constEnd())
        return std::pair{*it, name};
    const std::optional<QByteArray> file = fontmatching::makeFontFile(font, fontmatching::taggedName(name));
    // Only TrueType outlines are embedded, as the TrueType program the font dictionary says they are.
    const std::optional<QByteArray> subset = file ? platform::subsetTrueType(*file, text) : std::nullopt;
    if (!subset || quint64(subset->size()) > std::numeric_limits<uint32_t>::max())
        return PDFiumError::fontFailed();
    // Type TrueType with CID encoding, so that any Unicode text can be set with it.
    FPDF_FONT loaded = m_api->FPDFText_LoadFont(m_document, reinterpret_cast<const uint8_t*>(subset->constData()),
                                                uint32_t(subset->size()), kPDFiumFontTrueType, 1);
    if (!loaded)
        return PDFiumError::fontFailed();
    m_loadedFonts.insert(key, loaded);
    return std::pair{loaded, name};
}

QList<FPDF_PAGEOBJECT> PDFEditSession::makeTextObjects(const QList<LaidOutLine>& lines, FPDF_FONT font, qreal size,
                                                       const QColor& color, qreal condensed)
{
    QList<FPDF_PAGEOBJECT> objects;
    const QColor rgb = color.isValid() ? color.toRgb() : color;
    auto channel = [](float v) { return unsigned(std::max(0.0f, v * 255.0f)); };
    for (const LaidOutLine& line : lines) {
        FPDF_PAGEOBJECT object = m_api->FPDFPageObj_CreateTextObj(m_document, font, float(size));
        if (!object) {
            for (FPDF_PAGEOBJECT made : objects)
                m_api->FPDFPageObj_Destroy(made);
            return {};
        }
        const std::u16string units = line.text.toStdU16String(); // NUL-terminated by c_str()
        if (!m_api->FPDFText_SetText(object, reinterpret_cast<const FPDF_WCHAR*>(units.c_str()))) {
            m_api->FPDFPageObj_Destroy(object);
            for (FPDF_PAGEOBJECT made : objects)
                m_api->FPDFPageObj_Destroy(made);
            return {};
        }
        m_api->FPDFPageObj_SetFillColor(object, channel(rgb.redF()), channel(rgb.greenF()), channel(rgb.blueF()),
                                        channel(rgb.alphaF()));
        m_api->FPDFPageObj_Transform(object, condensed, 0, 0, 1, line.origin.x(), line.origin.y());
        objects.append(object);
    }
    return objects;
}

bool PDFEditSession::insertAndVerify(const QList<FPDF_PAGEOBJECT>& objects, const QList<LaidOutLine>& expected,
                                     FPDF_PAGE page)
{
    // Read aside: a word put over the old word it replaces, while that is still there, would lose the letters
    // both have in the same place ("Pgae" over "Page" reads "ga"). The objects go back exactly where they
    // were meant to be.
    QList<FS_MATRIX> placed;
    for (FPDF_PAGEOBJECT object : objects) {
        FS_MATRIX m{};
        m_api->FPDFPageObj_GetMatrix(object, &m);
        placed.append(m);
        m.f -= kReadAside;
        m_api->FPDFPageObj_SetMatrix(object, &m);
        m_api->FPDFPage_InsertObject(page, object);
    }
    auto takeBack = [&] {
        for (qsizetype i = 0; i < objects.size(); ++i) {
            m_api->FPDFPage_RemoveObject(page, objects[i]);
            m_api->FPDFPageObj_SetMatrix(objects[i], &placed[i]);
        }
    };
    FPDF_TEXTPAGE textPage = m_api->FPDFText_LoadPage(page);
    if (!textPage) {
        takeBack();
        return false;
    }
    bool matches = objects.size() == expected.size();
    for (qsizetype i = 0; matches && i < objects.size(); ++i) {
        QString readBack = text(objects[i], textPage);
        readBack.remove(QChar(0xFFFD));
        matches = editrules::sameWords(readBack, expected[i].text);
    }
    m_api->FPDFText_ClosePage(textPage);
    takeBack();
    return matches;
}

PDFiumResult<QList<FPDF_PAGEOBJECT>> PDFEditSession::standInObjects(const EditableTextBlock& block,
                                                                    const QList<LaidOutLine>& lines,
                                                                    const platform::Font& layoutFont,
                                                                    const QString& text, FPDF_PAGE pg,
                                                                    TextEditResult& result, qreal condensed)
{
    const auto substitute = loadedFont(layoutFont, text);
    if (!substitute)
        return substitute.error();
    QList<FPDF_PAGEOBJECT> objects =
        makeTextObjects(lines, substitute.value().first, block.fontSize, block.color, condensed);
    if (objects.isEmpty())
        return PDFiumError::fontFailed();
    if (!insertAndVerify(objects, lines, pg)) {
        for (FPDF_PAGEOBJECT object : objects)
            m_api->FPDFPageObj_Destroy(object);
        return PDFiumError::fontFailed();
    }
    result.embeddedFontName = substitute.value().second;
    return objects;
}

PDFiumResult<TextEditResult> PDFEditSession::replaceText(const EditableTextBlock& block, const QString& newText,
                                                         int pageIndex)
{
    if (!block.isEditable)
        return PDFiumError::notEditable(block.reason.value_or(EditRefusal::generic()));
    if (m_spoiled)
        return PDFiumError::wouldDamage();
    const auto loaded = page(pageIndex);
    if (!loaded)
        return loaded.error();
    FPDF_PAGE pg = loaded.value();
    const auto current = model(pageIndex);
    if (!current)
        return current.error();
    QList<EditableTextBlock> others;
    for (const EditableTextBlock& b : current.value().blocks)
        if (b.id != block.id)
            others.append(b);

    QString text = newText;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (editrules::trimmedWhitespaceAndNewlines(text).isEmpty()) {
        if (const auto error = deleteBlock(block, pageIndex))
            return *error;
        return TextEditResult{};
    }

    // A change within one line rewrites that line alone, in the page's own fonts, when it still fits.
    if (const auto inPlace = retypeLine(block, text, pageIndex, pg)) {
        if (const auto damaged = finishEdit(pageIndex, pg))
            return *damaged;
        return *inPlace;
    }

    // The block written again would be filled in a plain colour: text stroked, clipping or painted with a
    // pattern would change its look (a pattern reads as white, and would vanish).
    if (!paintKept(block.objects, pageIndex))
        return PDFiumError::wouldDamage();

    // Everything that can fail happens before the old text leaves the page: a retype is all or nothing.
    TextEditResult result;
    QList<FPDF_PAGEOBJECT> made;
    if (auto own = ownFontObjects(block, text, pg)) {
        made = own->first;
        result.reusedOriginalFont = true;
        result.lineCount = own->second.lineCount;
        result.newBounds = own->second.bounds;
    } else {
        const bool bold = editrules::wantsBold(block.baseFontName, block.fontWeight);
        const bool italic = editrules::wantsItalic(block.baseFontName, block.fontFlags);
        const platform::Font layoutFont =
            fontmatching::matchSystemFont(block.baseFontName, block.fontSize, bold, italic, block.fontFlags);
        const qreal condensed = textlayout::condensing(block, text, layoutFont);
        const textlayout::Layout layout = textlayout::layOutCondensed(
            text, layoutFont, block, qreal(m_api->FPDF_GetPageWidthF(pg)) - 18, condensed);
        const auto standIn = standInObjects(block, layout.lines, layoutFont, text, pg, result, condensed);
        if (!standIn)
            return standIn.error();
        made = standIn.value();
        result.lineCount = int(layout.lines.size());
        result.newBounds = layout.bounds;
    }

    for (FPDF_PAGEOBJECT object : block.objects)
        if (m_api->FPDFPage_RemoveObject(pg, object))
            m_api->FPDFPageObj_Destroy(object);
    for (FPDF_PAGEOBJECT object : made)
        m_api->FPDFPage_InsertObject(pg, object);
    if (result.newBounds.top() < block.bounds.top() - 1) { // top() is minY: the text now reaches lower
        for (const EditableTextBlock& other : others)
            if (other.bounds.bottom() <= block.bounds.top() + 1 && other.bounds.intersects(result.newBounds)) {
                result.overlapsNextBlock = true;
                break;
            }
    }
    if (const auto damaged = finishEdit(pageIndex, pg))
        return *damaged;
    return result;
}

MaybePDFiumError PDFEditSession::deleteBlock(const EditableTextBlock& block, int pageIndex)
{
    const auto loaded = page(pageIndex);
    if (!loaded)
        return loaded.error();
    for (FPDF_PAGEOBJECT object : block.objects)
        if (m_api->FPDFPage_RemoveObject(loaded.value(), object))
            m_api->FPDFPageObj_Destroy(object);
    return finishEdit(pageIndex, loaded.value());
}

} // namespace vmk::core
