#pragma once

#include "platform/pdf/pages/PageCapture.h"

#include <QList>
#include <QString>

namespace vmk {

// What an image export did with each page, for the message that closes it: how many images were written,
// and which pages were not, and why. Main thread only.
class ImageExportReport {
public:
    enum class Miss {
        tooSlow,    // not drawn within the drawing's time
        tooLarge,   // drawing it needed more memory than a page may have
        unreadable, // the page could not be read or drawn at all
        notSaved,   // drawn, but the file could not be written
        removed,    // the document lost the page while the export ran
    };

    void wrote() { ++m_written; }
    void missed(int pageIndex, Miss why) { m_missed.append({pageIndex, why}); }
    // Why a page that was not drawn was not: what the drawing ended with.
    static Miss missFor(pdf::RecordOutcome outcome);

    int written() const { return m_written; }
    bool complete() const { return m_missed.isEmpty(); }
    // "Exported 3 images." and, for the pages left out, one sentence per reason, pages in order.
    QString message() const;

private:
    struct Missed {
        int page;
        Miss why;
    };
    int m_written = 0;
    QList<Missed> m_missed;
};

} // namespace vmk
