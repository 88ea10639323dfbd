#include "CanvasTestSupport.h"

#include "platform/pdf/document/Page.h"
#include "support/PaintedPdf.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>

namespace vmk::test {

QByteArray textPdf(int pageCount)
{
    return paintedPdf(pageCount, QSizeF(612, 792), [](QPainter& painter, int i) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(14);
        painter.setFont(font);
        painter.drawText(QPointF(72, 100), QStringLiteral("Page %1: the quick brown fox jumps over the lazy dog").arg(i + 1));
        painter.drawText(QPointF(72, 130), QStringLiteral("A second line of words to mark up and redact."));
        painter.drawText(QPointF(72, 160), QStringLiteral("Signed, sealed and delivered in full."));
    });
}

pdf::DocumentPtr openPdf(const QByteArray& data)
{
    pdf::Result<pdf::DocumentPtr> result = pdf::Document::fromData(data);
    return result ? result.value() : nullptr;
}

CanvasFixture::CanvasFixture(pdf::DocumentPtr pdf, double scale)
{
    if (!pdf)
        pdf = openPdf(textPdf(2));
    // The view reads page text on a worker and has none until then; gestures here are made at once.
    for (int i = 0; i < pdf->pageCount(); ++i)
        pdf->page(i)->textLayout();
    defaults = std::make_unique<platform::UserDefaults>(dir.filePath(QStringLiteral("defaults.ini")));
    document = std::make_unique<core::VMKDocument>();
    document->setPdf(std::move(pdf));
    document->setFilePath(dir.filePath(QStringLiteral("Canvas.pdf")));
    editor = std::make_unique<Editor>(
        document.get(), [] { return std::make_unique<views::PDFCanvasView>(); }, &scheduler, defaults.get());
    canvas = static_cast<views::PDFCanvasView*>(editor->pdfView());
    canvas->resize(900, 1000);
    canvas->show();
    canvas->PDFView::setScaleFactor(scale);
    canvas->PDFView::goToPage(0);
    QApplication::processEvents();
}

CanvasFixture::~CanvasFixture()
{
    editor.reset();
}

QPointF CanvasFixture::view(QPointF pagePoint, int pageIndex) const
{
    return canvas->convertPointFromPage(pagePoint, pageIndex);
}

namespace {

void send(views::PDFCanvasView* canvas, QEvent::Type type, QPointF viewPoint, Qt::KeyboardModifiers modifiers)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QWidget* target = canvas->viewport();
    QMouseEvent event(type, viewPoint, target->mapToGlobal(viewPoint), button, buttons, modifiers);
    QApplication::sendEvent(target, &event);
}

} // namespace

void CanvasFixture::pressView(QPointF v, Qt::KeyboardModifiers m) { send(canvas, QEvent::MouseButtonPress, v, m); }
void CanvasFixture::dragView(QPointF v, Qt::KeyboardModifiers m) { send(canvas, QEvent::MouseMove, v, m); }
void CanvasFixture::releaseView(QPointF v, Qt::KeyboardModifiers m) { send(canvas, QEvent::MouseButtonRelease, v, m); }
void CanvasFixture::press(QPointF p, Qt::KeyboardModifiers m) { pressView(view(p), m); }
void CanvasFixture::drag(QPointF p, Qt::KeyboardModifiers m) { dragView(view(p), m); }
void CanvasFixture::release(QPointF p, Qt::KeyboardModifiers m) { releaseView(view(p), m); }

void CanvasFixture::doubleClick(QPointF p)
{
    press(p);
    release(p);
    send(canvas, QEvent::MouseButtonDblClick, view(p), Qt::NoModifier);
    release(p);
}

void CanvasFixture::dragFromTo(QPointF from, QPointF to, Qt::KeyboardModifiers modifiers, int steps)
{
    press(from, modifiers);
    for (int i = 1; i <= steps; ++i)
        drag(from + (to - from) * (double(i) / steps), modifiers);
    release(to, modifiers);
}

void CanvasFixture::key(int key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(canvas, Qt::Key(key), modifiers);
}

pdf::AnnotationPtr CanvasFixture::addSquare(const QRectF& bounds, int pageIndex)
{
    pdf::AnnotationPtr a = pdf::Annotation::create(QStringLiteral("Square"), bounds);
    a->setColor(Qt::red);
    a->setLineWidth(2.0);
    page(pageIndex)->addAnnotation(a);
    canvas->PDFView::annotationsChanged(pageIndex);
    return a;
}

int CanvasFixture::annotationCount(const QString& type, int pageIndex) const
{
    int n = 0;
    for (const pdf::AnnotationPtr& a : page(pageIndex)->annotations())
        n += a->type() == type;
    return n;
}

pdf::AnnotationPtr CanvasFixture::lastAnnotation(int pageIndex) const
{
    const auto all = page(pageIndex)->annotations();
    return all.empty() ? nullptr : all.back();
}

} // namespace vmk::test
