#pragma once

// Conversions between the Editor's page collections and the core's page-set operations.
#include "core/PDFOps.h"
#include "editor/EditorTypes.h"

#include <QList>
#include <QSet>

namespace vmk {

inline QList<pdf::PagePtr> pageList(const pdf::Document& document)
{
    const std::vector<pdf::PagePtr> pages = core::PDFOps::pages(document);
    return QList<pdf::PagePtr>(pages.begin(), pages.end());
}

inline QSet<int> toQSet(const IndexSet& indexes)
{
    return QSet<int>(indexes.begin(), indexes.end());
}

} // namespace vmk
