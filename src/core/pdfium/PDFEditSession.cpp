#include "core/pdfium/PDFEditSession.h"

#include "core/pdfium/EditTextRules.h"
#include "core/pdfium/TextGrouping.h"
#include "platform/pdf/engine/Wait.h"
#include "platform/pdf/pages/ContentSplit.h"
#include "platform/services/Secrets.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <vector>

namespace vmk::core {

// ---- Engine ----

QString PDFEditSession::pdfiumLibraryPath()
{
    const QString overridden = qEnvironmentVariable("VMK_PDFIUM_PATH");
    if (!overridden.isEmpty())
        return overridden;
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../lib/vellumark/libpdfium.so"));
}

PDFiumResult<const PDFiumAPI*> PDFEditSession::loadEngine(PDFiumLoader& loader, const QString& libraryPath)
{
    char error[512] = {};
    const QByteArray path = QFile::encodeName(libraryPath);
    const PDFiumAPI* api = loader.load(path.constData(), error, sizeof error);
    if (!api)
        return PDFiumError::unavailable(QString::fromUtf8(error, qstrnlen(error, sizeof error)));
    return api;
}

PDFiumResult<const PDFiumAPI*> PDFEditSession::loadEngine()
{
    return loadEngine(PDFiumLoader::shared(), pdfiumLibraryPath());
}

// ---- Lifecycle ----

PDFEditSession::PDFEditSession(const PDFiumAPI* api, QByteArray bytes, QByteArray original, FPDF_DOCUMENT document)
    : m_api(api), m_bytes(std::move(bytes)), m_original(std::move(original)), m_document(document)
{
}

PDFiumResult<std::unique_ptr<PDFEditSession>> PDFEditSession::open(const QByteArray& data, const QString& password)
{
    return open(loadEngine(), data, password);
}

PDFiumResult<std::unique_ptr<PDFEditSession>> PDFEditSession::open(const PDFiumResult<const PDFiumAPI*>& engine,
                                                                   const QByteArray& data, const QString& password,
                                                                   Content content)
{
    if (!engine)
        return engine.error();
    const PDFiumAPI* api = engine.value();
    // Our own copy, never shared with the caller's, with each page's content cut into one stream per text
    // object, picture or run of graphics: the engine rewrites only the streams whose objects an edit
    // touched and keeps every other stream as it was, which is what keeps the rest of the page intact.
    QHash<QByteArray, QByteArray> marked;
    QHash<int, QList<QPointF>> patternText;
    QByteArray bytes = content == Content::split
        ? pdf::splitPageContents(data, password, pdf::kSplitBudgetMs, &marked, &patternText)
        : data;
    // Stopped while the content was being cut (the cutting gave up): the engine is not started for nothing.
    if (pdf::waitCancelled())
        return PDFiumError::cancelled();
    // The file's own bytes are kept for the digits of its numbers (see withFileDigits); a copy of our own
    // where the caller's may only borrow its memory.
    QByteArray original;
    if (bytes.constData() == data.constData()) {
        bytes = QByteArray(data.constData(), data.size());
    } else {
        original = data; // shares the caller's buffer, or borrows its memory as the caller does
        if (!original.data_ptr().isMutable())
            original = QByteArray(data.constData(), data.size());
    }
    QByteArray secret = password.toUtf8();
    FPDF_DOCUMENT document = api->FPDF_LoadMemDocument64(bytes.constData(), size_t(bytes.size()),
                                                         password.isEmpty() ? nullptr : secret.constData());
    platform::wipe(secret);
    if (!document)
        return PDFiumError::loadFailed(api->FPDF_GetLastError());
    auto session = std::unique_ptr<PDFEditSession>(new PDFEditSession(api, std::move(bytes), std::move(original), document));
    session->m_markedSubsets = std::move(marked);
    session->m_patternText = std::move(patternText);
    return session;
}

PDFEditSession::~PDFEditSession()
{
    for (FPDF_FONT font : std::as_const(m_loadedFonts))
        m_api->FPDFFont_Close(font);
    for (FPDF_PAGE page : std::as_const(m_pages))
        m_api->FPDF_ClosePage(page);
    m_api->FPDF_CloseDocument(m_document);
}

PDFiumResult<FPDF_PAGE> PDFEditSession::page(int index)
{
    if (const auto it = m_pages.constFind(index); it != m_pages.constEnd())
        return *it;
    FPDF_PAGE page = index >= 0 ? m_api->FPDF_LoadPage(m_document, index) : nullptr;
    if (!page)
        return PDFiumError::pageFailed(index);
    m_pages.insert(index, page);
    return page;
}

// ---- Page scan ----

QString PDFEditSession::text(FPDF_PAGEOBJECT object, FPDF_TEXTPAGE textPage) const
{
    const unsigned long bytes = m_api->FPDFTextObj_GetText(object, textPage, nullptr, 0);
    if (bytes < 3)
        return {};
    std::vector<FPDF_WCHAR> units(bytes / 2 + 1, 0);
    m_api->FPDFTextObj_GetText(object, textPage, units.data(), (unsigned long)(units.size() * 2));
    units.back() = 0; // decode up to the first 0 unit, whatever PDFium wrote
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(units.data()));
}

namespace {

QString readName(size_t (*get)(FPDF_FONT, char*, size_t), FPDF_FONT font)
{
    const size_t length = get(font, nullptr, 0);
    if (length < 2)
        return {};
    std::vector<char> buffer(length + 1, 0);
    get(font, buffer.data(), length);
    return QString::fromUtf8(buffer.data(), qstrnlen(buffer.data(), buffer.size()));
}

} // namespace

PDFEditSession::FontInfo PDFEditSession::fontInfo(FPDF_FONT font) const
{
    FontInfo info;
    QString name = readName(m_api->FPDFFont_GetBaseFontName, font);
    if (name.isEmpty())
        name = readName(m_api->FPDFFont_GetFamilyName, font);
    info.name = editrules::stripSubsetPrefix(name);
    info.isEmbedded = m_api->FPDFFont_GetIsEmbedded(font) == 1;
    size_t dataLength = 0;
    const bool read = m_api->FPDFFont_GetFontData(font, nullptr, 0, &dataLength) != 0;
    info.isUnusable = info.isEmbedded && (!read || dataLength < 1);
    return info;
}

PDFEditSession::Run PDFEditSession::readRun(FPDF_PAGEOBJECT object, FPDF_TEXTPAGE textPage, const QRectF& bounds,
                                            EditFontTable& fonts) const
{
    Run run;
    FS_MATRIX m{0, 0, 0, 0, 0, 0};
    m_api->FPDFPageObj_GetMatrix(object, &m);
    float fontSize = 0;
    m_api->FPDFTextObj_GetFontSize(object, &fontSize);
    // The size set with the font is often 1, the real size living in the matrix.
    float scale = std::hypot(m.c, m.d);
    if (!(scale > 0.0f))
        scale = 1.0f;
    run.size = scale * fontSize;
    run.baseline = m.f;
    run.x = m.e;
    run.bounds = bounds;
    run.object = object;
    run.text = text(object, textPage);

    std::optional<FontInfo> info;
    run.font = m_api->FPDFTextObj_GetFont(object);
    if (run.font) {
        auto it = fonts.find(run.font);
        if (it == fonts.end())
            it = fonts.emplace(run.font, fontInfo(run.font)).first;
        info = it->second;
        run.fontName = info->name;
    }

    unsigned r = 0, g = 0, b = 0, a = 255;
    m_api->FPDFPageObj_GetFillColor(object, &r, &g, &b, &a);
    run.color = QColor::fromRgbF(float(r) / 255, float(g) / 255, float(b) / 255, float(a) / 255);

    if (info && info->isUnusable)
        run.problem = EditRefusal::font();
    else if (!editrules::isUpright(m))
        run.problem = EditRefusal::geometry();
    else if (m_api->FPDFTextObj_GetTextRenderMode(object) == kPDFiumTextRenderInvisible)
        run.problem = EditRefusal::recognizedText();
    else if (editrules::containsRightToLeft(run.text))
        run.problem = EditRefusal::script();
    return run;
}

PDFiumResult<PageEditModel> PDFEditSession::model(int pageIndex)
{
    if (const auto it = m_models.constFind(pageIndex); it != m_models.constEnd())
        return *it;
    const auto loaded = page(pageIndex);
    if (!loaded)
        return loaded.error();
    FPDF_PAGE pg = loaded.value();
    FPDF_TEXTPAGE textPage = m_api->FPDFText_LoadPage(pg);
    if (!textPage)
        return PDFiumError::pageFailed(pageIndex);
    const float width = m_api->FPDF_GetPageWidthF(pg);
    const float height = m_api->FPDF_GetPageHeightF(pg);

    EditFontTable fonts;
    QList<Run> runs;
    PageEditModel model;
    float largestImageArea = 0;
    const int count = m_api->FPDFPage_CountObjects(pg);
    for (int i = 0; i < count; ++i) {
        FPDF_PAGEOBJECT object = m_api->FPDFPage_GetObject(pg, i);
        if (!object)
            continue;
        const int type = m_api->FPDFPageObj_GetType(object);
        float left = 0, bottom = 0, right = 0, top = 0;
        if (!m_api->FPDFPageObj_GetBounds(object, &left, &bottom, &right, &top))
            continue;
        const float w = right - left, h = top - bottom;
        const QRectF rect(left, bottom, w, h);
        if (type == kPDFiumObjectText) {
            runs.append(readRun(object, textPage, rect, fonts));
        } else if (type == kPDFiumObjectImage) {
            unsigned pw = 0, ph = 0;
            m_api->FPDFImageObj_GetImagePixelSize(object, &pw, &ph);
            model.images.append(EditableImage{m_nextID++, rect, QSize(int(pw), int(ph)), object});
            largestImageArea = std::max(largestImageArea, w * h);
        }
    }

    const auto facts = [this](FPDF_FONT font) {
        return textgrouping::FontFacts{m_api->FPDFFont_GetFlags(font), m_api->FPDFFont_GetWeight(font)};
    };
    model.blocks = textgrouping::groupIntoBlocks(runs, fonts, facts, m_nextID);
    markPaintNotKept(model.blocks, pageIndex);
    textgrouping::inferSingleLineAlignment(model.blocks, m_api->FPDF_GetPageWidthF(pg));
    const bool anyEditable = std::any_of(model.blocks.begin(), model.blocks.end(),
                                         [](const EditableTextBlock& b) { return b.isEditable; });
    model.looksScanned = editrules::looksScanned(anyEditable, width, height, largestImageArea);

    m_models.insert(pageIndex, model);
    m_api->FPDFText_ClosePage(textPage);
    return model;
}

void PDFEditSession::markPaintNotKept(QList<EditableTextBlock>& blocks, int pageIndex) const
{
    // Text stroked, clipping or painted with a pattern could only be written again plainly filled, which an
    // edit refuses for its line. A block where every line holds such text cannot be edited at all, and says
    // so when it is selected instead of after the user typed; in a block where some lines can, the editor
    // shows the text in a colour it really has, not the white the engine reads for a pattern.
    struct Line {
        qreal baseline;
        qreal slack;
        bool kept;
    };
    for (EditableTextBlock& block : blocks) {
        if (!block.isEditable || block.objects.isEmpty())
            continue;
        QList<Line> lines;
        std::optional<QColor> keptColor;
        bool anyNotKept = false;
        for (FPDF_PAGEOBJECT object : block.objects) {
            FS_MATRIX m{0, 0, 0, 0, 0, 0};
            m_api->FPDFPageObj_GetMatrix(object, &m);
            float size = 0;
            m_api->FPDFTextObj_GetFontSize(object, &size);
            const qreal slack = std::max(1.0, 0.2 * std::hypot(m.c, m.d) * size);
            const bool kept = paintKept({object}, pageIndex);
            anyNotKept |= !kept;
            if (kept && !keptColor) {
                unsigned r = 0, g = 0, b = 0, a = 255;
                m_api->FPDFPageObj_GetFillColor(object, &r, &g, &b, &a);
                keptColor = QColor(int(r), int(g), int(b), int(a));
            }
            const auto line = std::find_if(lines.begin(), lines.end(),
                                           [&](const Line& l) { return std::fabs(l.baseline - m.f) <= l.slack; });
            if (line == lines.end())
                lines.append({m.f, slack, kept});
            else
                line->kept &= kept;
        }
        if (std::none_of(lines.begin(), lines.end(), [](const Line& l) { return l.kept; }))
            block.isEditable = false;
        else if (anyNotKept && keptColor)
            block.color = *keptColor;
    }
}

bool PDFEditSession::paintKept(const QList<FPDF_PAGEOBJECT>& objects, int pageIndex) const
{
    const QList<QPointF> patterned = m_patternText.value(pageIndex);
    for (FPDF_PAGEOBJECT object : objects) {
        if (m_api->FPDFTextObj_GetTextRenderMode(object) != 0)
            return false;
        FS_MATRIX m{0, 0, 0, 0, 0, 0};
        m_api->FPDFPageObj_GetMatrix(object, &m);
        float size = 0;
        m_api->FPDFTextObj_GetFontSize(object, &size);
        const qreal slack = std::max(1.0, 0.2 * std::hypot(m.c, m.d) * size);
        // Text shown after a patterned string without a new position goes on along its baseline.
        for (const QPointF& p : patterned)
            if (std::fabs(m.f - p.y()) <= slack && m.e >= p.x() - slack)
                return false;
    }
    return true;
}

void PDFEditSession::reapplyColors(FPDF_PAGE page) const
{
    const int count = m_api->FPDFPage_CountObjects(page);
    for (int i = 0; i < count; ++i) {
        FPDF_PAGEOBJECT object = m_api->FPDFPage_GetObject(page, i);
        if (!object)
            continue;
        const int type = m_api->FPDFPageObj_GetType(object);
        if (type != kPDFiumObjectText && type != kPDFiumObjectPath)
            continue;
        unsigned r = 0, g = 0, b = 0, a = 0;
        if (m_api->FPDFPageObj_GetFillColor(object, &r, &g, &b, &a))
            m_api->FPDFPageObj_SetFillColor(object, r, g, b, a);
        if (m_api->FPDFPageObj_GetStrokeColor(object, &r, &g, &b, &a))
            m_api->FPDFPageObj_SetStrokeColor(object, r, g, b, a);
    }
}

QList<PDFEditSession::DrawnText> PDFEditSession::drawnText(FPDF_PAGE page) const
{
    QList<DrawnText> drawn;
    FPDF_TEXTPAGE textPage = m_api->FPDFText_LoadPage(page);
    if (!textPage)
        return drawn;
    QHash<FPDF_FONT, QString> fontNames;
    for (int i = 0, n = m_api->FPDFPage_CountObjects(page); i < n; ++i) {
        FPDF_PAGEOBJECT object = m_api->FPDFPage_GetObject(page, i);
        if (!object || m_api->FPDFPageObj_GetType(object) != kPDFiumObjectText)
            continue;
        FPDF_FONT font = m_api->FPDFTextObj_GetFont(object);
        auto name = fontNames.constFind(font);
        if (name == fontNames.constEnd()) {
            size_t size = 0;
            m_api->FPDFFont_GetFontData(font, nullptr, 0, &size);
            name = fontNames.insert(font, readName(m_api->FPDFFont_GetBaseFontName, font) + QLatin1Char('/')
                                              + QString::number(size) + QLatin1Char('/')
                                              + QString::number(m_api->FPDFFont_GetFlags(font)));
        }
        float l = 0, b = 0, r = 0, t = 0;
        m_api->FPDFPageObj_GetBounds(object, &l, &b, &r, &t);
        // Spaces at the ends are the reading's guess from the neighbours, which the edit changed.
        drawn.append(DrawnText{*name, text(object, textPage).simplified(), QRectF(l, b, r - l, t - b)});
    }
    m_api->FPDFText_ClosePage(textPage);
    return drawn;
}

bool PDFEditSession::sameDrawnText(const QList<DrawnText>& meant, const QList<DrawnText>& written)
{
    if (meant.size() != written.size())
        return false;
    QHash<QString, QList<QRectF>> left;
    for (const DrawnText& d : written)
        left[d.font + QChar(0) + d.text].append(d.bounds);
    for (const DrawnText& d : meant) {
        QList<QRectF>& places = left[d.font + QChar(0) + d.text];
        const qreal slack = std::max(0.5, 0.05 * d.bounds.height());
        // The right edge alone may move by up to a glyph: a trailing space or spacing the engine measures
        // one way in the object it holds and another in the object it reads.
        const qreal rightSlack = std::max(slack, d.bounds.height());
        const auto near = std::find_if(places.begin(), places.end(), [&](const QRectF& r) {
            return std::fabs(r.left() - d.bounds.left()) <= slack && std::fabs(r.top() - d.bounds.top()) <= slack
                && std::fabs(r.right() - d.bounds.right()) <= rightSlack
                && std::fabs(r.bottom() - d.bounds.bottom()) <= slack;
        });
        if (near == places.end())
            return false;
        places.erase(near);
    }
    return true;
}

MaybePDFiumError PDFEditSession::finishEdit(int pageIndex, FPDF_PAGE page)
{
    const QList<DrawnText> meant = drawnText(page);
    // No colours are written back here: setting any object's colour makes the engine rewrite the stream
    // holding it, and the page's other streams must stay as they are.
    m_api->FPDFPage_GenerateContent(page);
    m_models.remove(pageIndex);
    // PDFium names the fonts of new text by base font name for as long as a page stays loaded, so that a
    // later edit embedding a font of the same name as one written before (an installed face standing in
    // for its own subset) would draw with the wrong one. The written content is in the document now:
    // load the page afresh on next use.
    m_api->FPDF_ClosePage(page);
    m_pages.remove(pageIndex);
    // Read back from a page of its own, not kept: a kept page unscanned would be written again on saving.
    FPDF_PAGE written = m_api->FPDF_LoadPage(m_document, pageIndex);
    const bool intact = written && sameDrawnText(meant, drawnText(written));
    if (written)
        m_api->FPDF_ClosePage(written);
    if (intact)
        return std::nullopt;
    m_spoiled = true;
    return PDFiumError::wouldDamage();
}

} // namespace vmk::core
