#pragma once

#include "core/Expected.h"
#include "core/PDFOpsError.h"
#include "platform/pdf/document/PdfTypes.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <functional>
#include <optional>

namespace vmk {
class UntitledDocumentMaker;
}

namespace vmk::app {

// One file of the combine list. The same file added twice is two items.
struct CombineItem {
    QUuid id;
    QString path;
    // Absent when the file cannot be opened as a PDF or is locked with a password.
    std::optional<int> pages;

    friend bool operator==(const CombineItem&, const CombineItem&) = default;
};

// Files that go on the list: a ".pdf" name in any case, or a file whose type is PDF by its name.
bool isCombinablePath(const QString& path);
// Whether a row adds pages to the merge: read, and with at least one page.
bool hasPagesToAdd(const CombineItem& item);
// The page count of a PDF file, or nothing when it cannot be opened or is locked.
std::optional<int> combinePageCount(const QString& path);

int combineTotalPages(const QList<CombineItem>& items);
QString combineSubtitle(const QList<CombineItem>& items);
// The line under a file's name: its page count, "Can’t read this one", or "Isn’t a regular file" for a pipe
// or a device (never opened).
QString combineDetail(const CombineItem& item);
QString combinedToastText(int files);

using CombineResult = core::Expected<pdf::DocumentPtr, core::PDFOpsError>;
// Merges the files off the main thread and hands the outcome to done on the main thread.
using CombineMerge = std::function<void(const QStringList& paths, std::function<void(CombineResult)> done)>;
// Runs PDFOps::combine on a worker thread; the outcome arrives on the main thread even when nobody who
// started the merge is left.
void mergeInBackground(const QStringList& paths, std::function<void(CombineResult)> done);

// Opens the merged document as a new untitled "Combined" document with the toast in its window.
// False when there is no document maker.
bool openCombinedDocument(UntitledDocumentMaker* maker, const pdf::DocumentPtr& merged, int files);

// The combine window's state and actions: the list in merge order, the last failure and whether a
// merge runs. A merge works on the readable files as they stood when it started; it cannot be
// stopped, and one that succeeds after the window has gone still opens its document.
class CombineModel : public QObject {
    Q_OBJECT
public:
    // close: closes the window after a successful merge. maker: where the result goes (the process's
    // document maker when null). merge: the background merge (mergeInBackground when empty).
    explicit CombineModel(std::function<void()> close, UntitledDocumentMaker* maker = nullptr, CombineMerge merge = {},
                          QObject* parent = nullptr);

    const QList<CombineItem>& items() const { return m_items; }
    const std::optional<QString>& error() const { return m_error; }
    bool isWorking() const { return m_working; }
    // Combine is offered when some file can be read and no merge runs.
    bool canCombine() const;

    // Adds the acceptable files in order (others are skipped silently); the error stays as it was.
    void appendPaths(const QStringList& paths);
    void remove(const QUuid& id);
    // Puts the items in the order of the ids (the list's drag to reorder); unknown ids are ignored and
    // items not named keep their relative order at the end.
    void setOrder(const QList<QUuid>& ids);
    // Merges the readable files in list order; unreadable ones are left out.
    void combine();
    // The merge's outcome.
    void finishCombine(const CombineResult& result, int files);

signals:
    void itemsChanged();
    void errorChanged();
    void workingChanged(bool working);

private:
    std::function<void()> m_close;
    UntitledDocumentMaker* m_maker;
    CombineMerge m_merge;
    QList<CombineItem> m_items;
    std::optional<QString> m_error;
    bool m_working = false;
};

} // namespace vmk::app
