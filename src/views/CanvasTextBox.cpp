#include "views/PDFCanvasView.h"

#include "editor/Editor.h"
#include "editor/FreeTextLayout.h"
#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "views/InlineTextView.h"

#include <QPointer>

#include <cmath>

namespace vmk::views {

namespace {
const QString kDefaultFont = QStringLiteral("Helvetica");
constexpr double kDefaultFontSize = 16;
} // namespace

void PDFCanvasView::beginTextBoxEditing(const pdf::AnnotationPtr& annotation, const pdf::PagePtr& page, bool isNew)
{
    commitTextSession(); // one box at a time
    const pdf::DocumentPtr doc = PDFView::document();
    const int index = doc && page && annotation ? doc->indexOf(page) : -1;
    if (index < 0)
        return;
    const double scale = PDFView::scaleFactor();
    const QRectF frame = convertRectFromPage(annotation->bounds(), index);

    auto* view = new InlineTextView(viewport());
    const QString fontName = annotation->fontName().isEmpty() ? kDefaultFont : annotation->fontName();
    const double fontSize = annotation->fontSize() > 0 ? annotation->fontSize() : kDefaultFontSize;
    QFont font = FreeTextLayout::font(fontName, fontSize);
    font.setPixelSize(std::max(1, int(std::lround(fontSize * scale))));
    view->setFont(font);
    QPalette palette = view->palette();
    const QColor textColor = annotation->fontColor().isValid() ? annotation->fontColor() : QColor(Qt::black);
    palette.setColor(QPalette::Text, textColor);
    view->setPalette(palette);
    view->setInsets(4 * scale, 4 * scale - 2);
    view->setPlainText(annotation->contents());
    view->setGeometry(frame.toAlignedRect());

    // Only the text view shows the text while it is typed.
    setAnnotationExcluded(annotation, true);

    connect(view, &InlineTextView::textChanged, this, &PDFCanvasView::fitTextViewHeight);
    connect(view, &InlineTextView::commitRequested, this, [this] {
        commitTextSession();
        setFocus(Qt::OtherFocusReason);
    });
    connect(view, &InlineTextView::editingEnded, this, &PDFCanvasView::commitTextSession);
    view->show();
    view->setFocus(Qt::OtherFocusReason);
    view->selectAll();

    m_textSession = TextSession{annotation, page, view, isNew};
    if (Editor* e = editor())
        e->setSelectedAnnotation(annotation);
    fitTextViewHeight();
    redrawOverlay();
}

void PDFCanvasView::fitTextViewHeight()
{
    if (!m_textSession || !m_textSession->view)
        return;
    InlineTextView* view = m_textSession->view;
    const double minimum = 1.3 * view->font().pixelSize();
    const int height = int(std::ceil(std::max(view->contentHeight(), minimum)));
    view->resize(view->width(), height); // the top edge stays
    redrawOverlay();
}

void PDFCanvasView::positionTextView()
{
    if (!m_textSession || !m_textSession->view)
        return;
    const pdf::DocumentPtr doc = PDFView::document();
    const int index = doc ? doc->indexOf(m_textSession->page) : -1;
    if (index < 0)
        return;
    const QRectF frame = convertRectFromPage(m_textSession->annotation->bounds(), index);
    m_textSession->view->move(frame.topLeft().toPoint());
}

void PDFCanvasView::commitTextSession()
{
    if (!m_textSession)
        return;
    // Cleared first: a call that arrives while the commit runs (focus moving away) finds no box.
    const TextSession session = *m_textSession;
    m_textSession.reset();

    QString text;
    QPointer<InlineTextView> typed = session.view;
    if (typed) {
        text = typed->toPlainText();
        typed->disconnect(this);
        // The typed text stays in place, inert, until the page is drawn with the box in it.
        typed->setReadOnly(true);
        typed->setAttribute(Qt::WA_TransparentForMouseEvents);
        if (typed->hasFocus())
            setFocus(Qt::OtherFocusReason);
        typed->setFocusPolicy(Qt::NoFocus);
    }
    setAnnotationExcluded(session.annotation, false);
    if (Editor* e = editor())
        e->commitFreeText(session.annotation, session.page, text, session.isNew);
    pageAnnotationsChangedLive(session.page);
    redrawOverlay();
    if (typed)
        afterRendering([typed] {
            if (typed) {
                typed->hide();
                typed->deleteLater();
            }
        });
}

} // namespace vmk::views
