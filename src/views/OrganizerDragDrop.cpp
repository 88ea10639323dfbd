#include "views/OrganizerDragDrop.h"

#include "editor/Editor.h"
#include "views/OrganizerCollectionView.h"
#include "views/PageCell.h"
#include "views/PageOrganizerView.h"

#include <QFileInfo>
#include <QMimeData>
#include <QMimeDatabase>
#include <QUrl>

namespace vmk::views {

QString pageIndexPasteboardType()
{
    static const QString type = QStringLiteral("app.vellumark.page-index");
    return type;
}

QMimeData* pageIndexMimeData(const IndexSet& indexes)
{
    auto* data = new QMimeData;
    QStringList lines;
    for (int index : indexes)
        lines << QString::number(index);
    data->setData(pageIndexPasteboardType(), lines.join(QLatin1Char('\n')).toUtf8());
    return data;
}

IndexSet pageIndexesFromMimeData(const QMimeData* data)
{
    IndexSet indexes;
    if (!data || !data->hasFormat(pageIndexPasteboardType()))
        return indexes;
    for (const QString& line : QString::fromUtf8(data->data(pageIndexPasteboardType())).split(QLatin1Char('\n'))) {
        bool ok = false;
        const int index = line.trimmed().toInt(&ok);
        if (ok && index >= 0)
            indexes.insert(index);
    }
    return indexes;
}

QStringList droppedPdfFiles(const QMimeData* data)
{
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    static const QMimeDatabase database;
    const QMimeType pdf = database.mimeTypeForName(QStringLiteral("application/pdf"));
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        const QString suffix = QFileInfo(path).suffix();
        if (suffix.isEmpty())
            continue;
        // The type that the extension names, never the content.
        const QList<QMimeType> types = database.mimeTypesForFileName(QStringLiteral("x.") + suffix);
        const bool isPdf = std::any_of(types.begin(), types.end(), [&](const QMimeType& t) {
            return t == pdf || t.inherits(pdf.name());
        });
        if (isPdf)
            files << path;
    }
    return files;
}

// --- The organizer's side of a drag ---------------------------------------------------------------

void PageOrganizerView::playLift(const IndexSet& indexes)
{
    m_dragged = indexes;
    for (int index : indexes) {
        if (PageCell* cell = cellAt(index)) {
            cell->animateShadow(PageCell::kLiftRadius, PageCell::kLiftOpacity);
            cell->setAlpha(0.45);
        }
    }
}

void PageOrganizerView::playSettle()
{
    for (const auto& [index, cell] : m_cells) {
        cell->animateShadow(PageCell::kRestRadius, PageCell::kRestOpacity);
        cell->setAlpha(1.0);
    }
    m_dragged.reset();
}

PageOrganizerView::DropOperation PageOrganizerView::validateDrop(const QMimeData* data, bool fromOwnCollection) const
{
    if (fromOwnCollection && m_dragged)
        return DropOperation::move;
    return droppedPdfFiles(data).isEmpty() ? DropOperation::none : DropOperation::copy;
}

bool PageOrganizerView::acceptDrop(const QMimeData* data, bool fromOwnCollection, int dropIndex)
{
    if (!m_editor)
        return false;
    if (fromOwnCollection && m_dragged) {
        m_editor->movePages(*m_dragged, dropIndex);
        return true;
    }
    const QStringList files = droppedPdfFiles(data);
    if (files.isEmpty())
        return false;
    m_editor->insertPages(files, dropIndex);
    return true;
}

} // namespace vmk::views
