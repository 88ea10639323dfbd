#pragma once

#include "platform/pdf/document/Selection.h"

#include <QList>
#include <QObject>
#include <QString>

#include <memory>

namespace vmk::pdf {

class TextReader;

// Finds text in a document, ignoring case and diacritics ("resume" finds "Résumé"). Pages are read and
// searched on the thread pool's workers (see TextReader); matches arrive on the main thread in page
// order, in batches, one per page with hits.
class TextFinder : public QObject {
    Q_OBJECT
public:
    explicit TextFinder(QObject* parent = nullptr);
    ~TextFinder() override;

    // Cancels any running find, then starts one. An empty needle or a locked document finishes at once
    // (still asynchronously).
    void start(const DocumentPtr& document, const QString& needle);
    // Stops delivering matches; finished() is not emitted for a cancelled find.
    void cancel();
    bool isRunning() const;

    // Every match of the needle in the text, as (start, length) in the text's indices, ignoring case
    // and diacritics.
    static QList<QPair<int, int>> matchesIn(const QString& haystack, const QString& needle);

signals:
    void matchesFound(const QList<vmk::pdf::Selection>& matches);
    void finished();

private:
    struct State;
    std::unique_ptr<State> m_state;
    TextReader* m_reader;
};

} // namespace vmk::pdf
