#include "EditorTestSupport.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>

namespace vmk::test {

QByteArray makePdf(const QList<bool>& textPages, const QList<bool>& imagePages)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::Letter));
        writer.setResolution(72);
        QPainter painter(&writer);
        for (int i = 0; i < textPages.size(); ++i) {
            if (i > 0)
                writer.newPage();
            if (textPages[i])
                painter.drawText(QPointF(72, 100), QStringLiteral("Page %1 has words").arg(i + 1));
            if (i < imagePages.size() && imagePages[i]) {
                QImage image(64, 64, QImage::Format_RGB32);
                image.fill(QColor(120, 90, 60));
                painter.drawImage(QRectF(72, 200, 300, 300), image);
            }
        }
    }
    return bytes;
}

QByteArray makeLinesPdf(int pages, int lines)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::Letter));
        writer.setResolution(72);
        QPainter painter(&writer);
        QFont font = painter.font();
        font.setPixelSize(12);
        painter.setFont(font);
        for (int p = 0; p < pages; ++p) {
            if (p > 0)
                writer.newPage();
            for (int l = 0; l < lines; ++l)
                painter.drawText(QPointF(72, 100 + 20 * l), QStringLiteral("Line %1 of page %2 text").arg(l + 1).arg(p + 1));
        }
    }
    return bytes;
}

pdf::DocumentPtr blankDocument(int count, const QSizeF& size)
{
    pdf::DocumentPtr document = pdf::Document::createEmpty();
    for (int i = 0; i < count; ++i)
        document->insertPage(pdf::Page::createBlank(QRectF(QPointF(0, 0), size)), i);
    return document;
}

QByteArray lockedPdf(const QString& password)
{
    pdf::Result<pdf::DocumentPtr> plain = pdf::Document::fromData(makePdf({true}));
    return plain.value()->dataRepresentation(pdf::WriteOptions::protect(password)).value();
}

EditorFixture::EditorFixture(pdf::DocumentPtr pdf, const QString& fileName)
{
    defaults = std::make_unique<platform::UserDefaults>(dir.filePath(QStringLiteral("defaults.ini")));
    document = std::make_unique<core::VMKDocument>();
    document->setPdf(std::move(pdf));
    if (!fileName.isEmpty())
        document->setFilePath(dir.filePath(fileName));
    remakeEditor();
}

EditorFixture::~EditorFixture()
{
    editor.reset();
}

void EditorFixture::remakeEditor()
{
    editor.reset();
    editor = std::make_unique<Editor>(
        document.get(),
        [this] {
            auto recording = std::make_unique<RecordingCanvas>();
            canvas = recording.get();
            return recording;
        },
        &scheduler, defaults.get());
    editor->setWindowController(&window);
}

} // namespace vmk::test
