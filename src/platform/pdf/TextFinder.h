#pragma once

#include "platform/pdf/Selection.h"

#include <QList>
#include <QObject>
#include <QString>

#include <memory>

namespace vmk::pdf {

// Finds text in a document on the main thread, one page per event-loop turn, ignoring case and
// diacritics ("resume" finds "Résumé"). Matches arrive in batches, one per page with hits.
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
    void step();
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace vmk::pdf
