#pragma once

#include "core/pdfium/EditModel.h"
#include "core/pdfium/FontCodes.h"
#include "core/pdfium/PDFiumAPI.h"
#include "core/pdfium/PDFiumError.h"

#include "platform/fonts/Font.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QMap>
#include <QPointF>

#include <memory>
#include <set>

namespace vmk::core {

// One PDFium document opened from a private copy of a document's bytes for in-place editing: the pages
// loaded from it, a scan of each page (cached until the session changes that page) and the fonts embedded
// into it. Edits change only the session's document until save() hands out the new bytes. PDFium keeps
// global state: a session, like every PDFium call, belongs to one thread.
class PDFEditSession {
public:
    using Run = EditRun;
    using Line = EditLine;
    using FontInfo = EditFontInfo;

    // Loads the engine (once per process) and opens a session on a copy of the data.
    // A protected document opens with the password that unlocked it; its saves stay protected alike.
    static PDFiumResult<std::unique_ptr<PDFEditSession>> open(const QByteArray& data, const QString& password = {});
    // Opens with an engine already loaded, or hands on the failure to load one. The pages' content is cut
    // into one stream per text object, picture or run of graphics first, unless kept whole (which only
    // shows what the engine would do to pages without that).
    enum class Content { split, keptWhole };
    static PDFiumResult<std::unique_ptr<PDFEditSession>> open(const PDFiumResult<const PDFiumAPI*>& engine,
                                                              const QByteArray& data, const QString& password = {},
                                                              Content content = Content::split);
    ~PDFEditSession();
    PDFEditSession(const PDFEditSession&) = delete;
    PDFEditSession& operator=(const PDFEditSession&) = delete;

    // The process's engine: the table, or `unavailable` with the loader's message.
    static PDFiumResult<const PDFiumAPI*> loadEngine();
    static PDFiumResult<const PDFiumAPI*> loadEngine(PDFiumLoader& loader, const QString& libraryPath);
    // <executable folder>/../lib/vellumark/libpdfium.so, or $VMK_PDFIUM_PATH when set.
    static QString pdfiumLibraryPath();

    const PDFiumAPI* api() const { return m_api; }
    FPDF_DOCUMENT document() const { return m_document; }

    // The page handle, loaded on first use and kept until the session ends.
    PDFiumResult<FPDF_PAGE> page(int index);
    // What the engine finds on a page; cached until an edit on that page.
    PDFiumResult<PageEditModel> model(int pageIndex);
    bool hasCachedModel(int pageIndex) const { return m_models.contains(pageIndex); }

    // Retypes a block found by the latest scan of the page.
    PDFiumResult<TextEditResult> replaceText(const EditableTextBlock& block, const QString& newText, int pageIndex);
    MaybePDFiumError deleteBlock(const EditableTextBlock& block, int pageIndex);

    // Maps the image's current bounds onto the frame (on top of its matrix, so a rotated picture stays
    // rotated); an image without positive bounds is left alone.
    MaybePDFiumError setImageFrame(const EditableImage& image, const QRectF& frame, int pageIndex);
    // New pixels for the image, fitted upright and centred into its old bounds.
    MaybePDFiumError replaceImage(const EditableImage& image, const QImage& picture, int pageIndex);
    MaybePDFiumError deleteImage(const EditableImage& image, int pageIndex);

    // The whole document as a complete PDF file; the session stays open.
    PDFiumResult<QByteArray> save();

    // The PDFium font embedded for a system font (built and loaded once per session) and its PostScript name.
    PDFiumResult<std::pair<FPDF_FONT, QString>> loadedFont(const platform::Font& font, const QString& text = {});
    // The scan's reading of one text object and one font.
    QString text(FPDF_PAGEOBJECT object, FPDF_TEXTPAGE textPage) const;
    FontInfo fontInfo(FPDF_FONT font) const;

    // Writes the page's fill and stroke colours back onto its text and path objects before the content is
    // regenerated, so that colours PDFium read but would not write survive.
    void reapplyColors(FPDF_PAGE page) const;

private:
    PDFEditSession(const PDFiumAPI* api, QByteArray bytes, QByteArray original, FPDF_DOCUMENT document);

    Run readRun(FPDF_PAGEOBJECT object, FPDF_TEXTPAGE textPage, const QRectF& bounds, EditFontTable& fonts) const;
    // Regenerates the content and forgets the page's scan, then reads the page back as written: every text
    // object must come back in its font, with its text, where it was. The engine that writes the content can
    // name one font for another of the same base name, or write a stream under a transformation that is not
    // the one in force; a page it wrote wrong spoils the session (nothing more is saved from it).
    MaybePDFiumError finishEdit(int pageIndex, FPDF_PAGE page);
    struct DrawnText {
        QString font; // base name, program size and flags: two subsets of one face differ
        QString text;
        QRectF bounds;
    };
    QList<DrawnText> drawnText(FPDF_PAGE page) const;
    // Whether every text meant to be on the page is on it as written, once each: the same font and text
    // within a small distance (the content keeps a few decimals of each number).
    static bool sameDrawnText(const QList<DrawnText>& meant, const QList<DrawnText>& written);
    // Text objects in the font, each line's glyphs narrowed horizontally by `condensed` (1: as designed).
    QList<FPDF_PAGEOBJECT> makeTextObjects(const QList<LaidOutLine>& lines, FPDF_FONT font, qreal size,
                                           const QColor& color, qreal condensed = 1);
    // Text put on a page only to be read back lies this far below it: the engine's reading drops a glyph drawn
    // with the same code and font where another was just drawn (as a fake bold is), so text read over the
    // page's own would lose the letters it shares with what is beneath it.
    static constexpr float kReadAside = 50000;
    bool insertAndVerify(const QList<FPDF_PAGEOBJECT>& objects, const QList<LaidOutLine>& expected, FPDF_PAGE page);
    // The new text objects in the stand-in, made and checked but not yet on the page.
    PDFiumResult<QList<FPDF_PAGEOBJECT>> standInObjects(const EditableTextBlock& block, const QList<LaidOutLine>& lines,
                                                        const platform::Font& layoutFont, const QString& text,
                                                        FPDF_PAGE pg, TextEditResult& result, qreal condensed);

    // Writing in the page's own fonts, by their own codes.
    struct CodedStyle {
        FPDF_FONT font = nullptr;
        float fontSize = 0;
        FS_MATRIX matrix{1, 0, 0, 1, 0, 0};
        unsigned fill[4] = {0, 0, 0, 255};
    };
    CodedStyle styleOf(FPDF_PAGEOBJECT object) const;
    std::set<char32_t> scalarsDrawnOnPage(FPDF_FONT font, FPDF_PAGE page);
    // The codes the font reads back as text and the advance of each; for an embedded font only the characters
    // the page shows it drawing. Codes are looked for until every wanted character has one.
    fontcodes::FontCodes fontCodes(FPDF_FONT font, FPDF_PAGE page, const std::set<char32_t>& wanted, bool embedded);
    // `spacing` (ems) is added after every glyph, as a line set with character spacing has it.
    std::optional<FPDF_PAGEOBJECT> codedObject(const CodedStyle& style, const QString& text,
                                               const fontcodes::FontCodes& codes, QPointF origin,
                                               const QStringList& glyphs = {}, qreal spacing = 0);
    // Whether the objects are painted so that text written again from them looks the same: filled, not
    // stroked or clipped, and not with a pattern or shading (which the engine reads as white and cannot write).
    bool paintKept(const QList<FPDF_PAGEOBJECT>& objects, int pageIndex) const;
    // Blocks none of whose lines could be written again as they look are not editable.
    void markPaintNotKept(QList<EditableTextBlock>& blocks, int pageIndex) const;
    // Rewrites only the line holding every change, in the page's own fonts, when the line still fits; the
    // page is changed (not yet regenerated) only on success.
    std::optional<TextEditResult> retypeLine(const EditableTextBlock& block, const QString& newText, int pageIndex,
                                             FPDF_PAGE pg);
    // The whole block laid out again in its own font: the objects, made and checked, and the layout.
    std::optional<std::pair<QList<FPDF_PAGEOBJECT>, fontcodes::CodeLayout>>
    ownFontObjects(const EditableTextBlock& block, const QString& text, FPDF_PAGE pg);

    const PDFiumAPI* m_api;
    QByteArray m_bytes; // PDFium reads the document from these bytes for the session's whole life
    QByteArray m_original; // the file as given when its content was split (else m_bytes are the same)
    FPDF_DOCUMENT m_document;
    QMap<int, FPDF_PAGE> m_pages;
    QHash<int, PageEditModel> m_models;
    QHash<QString, FPDF_FONT> m_loadedFonts;
    qint64 m_nextID = 1;
    // Font names marked for the engine (pdf::kSubsetTagMark) with the file's own, which saving restores.
    QHash<QByteArray, QByteArray> m_markedSubsets;
    QHash<int, QList<QPointF>> m_patternText; // by page: where the content shows text painted with a pattern
    bool m_spoiled = false; // a page was written wrong: the document must not be saved from this session
};

} // namespace vmk::core
