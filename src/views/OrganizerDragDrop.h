#pragma once

#include "editor/EditorTypes.h"

#include <QString>
#include <QStringList>

class QMimeData;

namespace vmk::views {

// The drag type of organizer pages: one line per dragged page holding its index in decimal.
QString pageIndexPasteboardType();

// The drag data of organizer pages. The caller (a QDrag) takes ownership.
QMimeData* pageIndexMimeData(const IndexSet& indexes);
// The page indices a drag carries; empty when it carries none.
IndexSet pageIndexesFromMimeData(const QMimeData* data);

// The local files of a drop whose names end in a PDF extension, in drop order. Only the name is
// looked at: content that is not a PDF is reported when the pages are read.
QStringList droppedPdfFiles(const QMimeData* data);

} // namespace vmk::views
