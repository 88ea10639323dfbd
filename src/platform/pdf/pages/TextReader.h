#pragma once

#include "platform/pdf/document/PdfTypes.h"
#include "platform/pdf/document/TextLayout.h"

#include <QList>
#include <QObject>
#include <QPair>

#include <functional>
#include <memory>

namespace vmk::pdf {

// Reads the text of every page of a document without holding up the main thread, and hands each page's
// text to the page (Page::adoptText) in page order. The main thread never interprets a page: that may
// take minutes for a hostile or merely extravagant one.
//
// Pages unchanged since the document was opened are read on the reading pool's workers, each from its own
// copy of the document opened from the original bytes with its own context, and each a run of neighbouring
// pages (a lane), so that a copy loads the fonts and shared objects of its part of the document only;
// changed or added pages are copied on the main thread (PageCapture: the objects only) and read from that
// copy on a worker; pages that already know their text are only visited. Pages come back in chunks and are
// delivered in order. A page that cannot be read, or whose content changed in place while it was read, is
// delivered without its text (Page::hasLoadedText() stays false and nothing is found on it).
class TextReader : public QObject {
    Q_OBJECT
public:
    // Looks at one page's text on a worker (it must touch nothing else); its answer comes back with the
    // page. A search answers the matches as ranges of characters.
    using Visit = std::function<QList<QPair<int, int>>(const TextLayout&)>;

    explicit TextReader(QObject* parent = nullptr);
    ~TextReader() override;

    // Cancels any running read, then starts one over the document's pages as they are now (the first
    // `pageLimit` of them when it is not negative). A locked document finishes at once (still asynchronously).
    void start(const DocumentPtr& document, Visit visit = {}, int pageLimit = -1);
    // Stops delivering pages; finished() is not emitted for a cancelled read.
    void cancel();
    bool isRunning() const;
    // Copies of documents open for reading in the whole process (a test hook: none once reads end).
    static int openCopies();

signals:
    // In page order, once the page holds its text.
    void pageRead(int index, const vmk::pdf::PagePtr& page, const QList<QPair<int, int>>& found);
    void finished();

private:
    void send(quint64 generation);
    void sendChunk(quint64 generation, int chunk);
    void deliver(quint64 generation);
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace vmk::pdf
