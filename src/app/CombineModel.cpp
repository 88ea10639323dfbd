#include "app/CombineModel.h"

#include "core/PDFOps.h"
#include "editor/Editor.h"
#include "platform/pdf/document/Document.h"
#include "platform/services/RegularFile.h"
#include "platform/services/BackgroundPool.h"
#include "platform/services/ThreadStarter.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QPointer>
#include <QThreadPool>

namespace vmk::app {

bool isCombinablePath(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return false;
    if (info.suffix().toLower() == QLatin1String("pdf"))
        return true;
    if (info.suffix().isEmpty())
        return false;
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    return type.inherits(QStringLiteral("application/pdf"));
}

std::optional<int> combinePageCount(const QString& path)
{
    auto opened = pdf::Document::fromFile(path);
    if (!opened)
        return std::nullopt;
    const pdf::DocumentPtr document = opened.value();
    if (!document || document->isLocked())
        return std::nullopt;
    return document->pageCount();
}

int combineTotalPages(const QList<CombineItem>& items)
{
    int total = 0;
    for (const CombineItem& item : items)
        total += item.pages.value_or(0);
    return total;
}

QString combineSubtitle(const QList<CombineItem>& items)
{
    if (items.isEmpty())
        return QStringLiteral("Add a few PDFs. Drag to put them in order.");
    return QStringLiteral("%1 files, %2 pages. Drag to reorder.").arg(items.size()).arg(combineTotalPages(items));
}

QString combineDetail(const CombineItem& item)
{
    if (!item.pages) {
        // A pipe or a device is never opened: say so rather than blame its content.
        if (const platform::FileKind kind = platform::fileKindOf(item.path);
            kind != platform::FileKind::regular && kind != platform::FileKind::missing)
            return QStringLiteral("Isn\u2019t a regular file");
        return QStringLiteral("Can\u2019t read this one");
    }
    return QStringLiteral("%1 page%2").arg(*item.pages).arg(*item.pages == 1 ? QString() : QStringLiteral("s"));
}

QString combinedToastText(int files)
{
    return QStringLiteral("Combined %1 files into one.").arg(files);
}

void mergeInBackground(const QStringList& paths, std::function<void(CombineResult)> done)
{
    // The documents are opened and merged on the worker with its own engine context; only the finished
    // document crosses back, and nothing else touches it until then.
    platform::startOffWindowThread(platform::backgroundPool(), [paths, done = std::move(done)]() mutable {
        auto result = std::make_shared<CombineResult>(core::PDFOps::combine(paths));
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [result, done = std::move(done)] { done(*result); }, Qt::QueuedConnection);
    });
}

bool openCombinedDocument(UntitledDocumentMaker* maker, const pdf::DocumentPtr& merged, int files)
{
    if (!maker)
        return false;
    if (Editor* editor = maker->newDocument(merged, QStringLiteral("Combined")))
        editor->showToast(combinedToastText(files), QStringLiteral("doc.on.doc"), Toast::Style::merge);
    return true;
}

bool hasPagesToAdd(const CombineItem& item)
{
    return item.pages && *item.pages > 0;
}

CombineModel::CombineModel(std::function<void()> close, UntitledDocumentMaker* maker, CombineMerge merge, QObject* parent)
    : QObject(parent), m_close(std::move(close)), m_maker(maker), m_merge(std::move(merge))
{
    if (!m_merge)
        m_merge = mergeInBackground;
}

bool CombineModel::canCombine() const
{
    if (m_working)
        return false;
    return std::any_of(m_items.begin(), m_items.end(), [](const CombineItem& item) { return hasPagesToAdd(item); });
}

void CombineModel::appendPaths(const QStringList& paths)
{
    bool added = false;
    for (const QString& path : paths) {
        if (!isCombinablePath(path))
            continue;
        m_items.append({QUuid::createUuid(), path, combinePageCount(path)});
        added = true;
    }
    if (added)
        emit itemsChanged();
}

void CombineModel::remove(const QUuid& id)
{
    if (m_items.removeIf([&](const CombineItem& item) { return item.id == id; }) > 0)
        emit itemsChanged();
}

void CombineModel::setOrder(const QList<QUuid>& ids)
{
    QList<CombineItem> ordered;
    QList<CombineItem> rest = m_items;
    for (const QUuid& id : ids) {
        const auto it = std::find_if(rest.begin(), rest.end(), [&](const CombineItem& item) { return item.id == id; });
        if (it == rest.end())
            continue;
        ordered.append(*it);
        rest.erase(it);
    }
    ordered.append(rest);
    if (ordered == m_items)
        return;
    m_items = ordered;
    emit itemsChanged();
}

void CombineModel::combine()
{
    if (!canCombine())
        return;
    QStringList paths;
    // A file without pages adds nothing, and a merge of only such files would make a document
    // without pages that nothing can open again.
    for (const CombineItem& item : std::as_const(m_items))
        if (hasPagesToAdd(item))
            paths << item.path;
    m_working = true;
    emit workingChanged(true);
    // The outcome may come after this model (and its window) is gone: a success still opens.
    QPointer<CombineModel> self(this);
    UntitledDocumentMaker* maker = m_maker;
    const int files = int(paths.size());
    m_merge(paths, [self, maker, files](CombineResult result) {
        if (self) {
            self->finishCombine(result, files);
        } else if (result) {
            openCombinedDocument(maker ? maker : Editor::documentMaker(), result.value(), files);
        }
    });
}

void CombineModel::finishCombine(const CombineResult& result, int files)
{
    m_working = false;
    emit workingChanged(false);
    if (!result || result.value()->pageCount() == 0) {
        m_error = result ? QStringLiteral("The combined document has no pages.") : result.error().message();
        emit errorChanged();
        return;
    }
    openCombinedDocument(m_maker ? m_maker : Editor::documentMaker(), result.value(), files);
    if (m_close)
        m_close();
}

} // namespace vmk::app
