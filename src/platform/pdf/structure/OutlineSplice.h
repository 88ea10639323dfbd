#pragma once

#include "platform/pdf/document/PdfTypes.h"

#include <QList>

#include <memory>

namespace vmk::pdf {

// Top-level outline entries added to a document without rewriting the entries it has (their actions,
// named destinations and styles stay as the file had them). They can be taken out and put back, for
// undo and redo.
class OutlineSplice {
public:
    ~OutlineSplice();
    OutlineSplice(const OutlineSplice&) = delete;
    OutlineSplice& operator=(const OutlineSplice&) = delete;

    // Adds `entries` (destinations on pages of `document`) to the top level of its outline, before the
    // top-level entry at `position` (after the last when there are fewer), making an outline when the
    // document has none. Nothing when there is nothing to add, the document is locked or writing fails.
    static std::shared_ptr<OutlineSplice> insert(Document& document, const QList<OutlineItem>& entries, int position);

    // Takes the entries out while they are in, puts them back while they are out.
    void exchange();

private:
    OutlineSplice();
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace vmk::pdf
