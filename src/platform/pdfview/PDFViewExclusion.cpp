#include "platform/pdfview/PDFViewPrivate.h"

#include <algorithm>

namespace vmk::pdfview {

std::vector<const pdf::Annotation*> PDFView::Private::excludedOn(const pdf::PagePtr& page) const
{
    std::vector<const pdf::Annotation*> result;
    for (const pdf::AnnotationPtr& a : excluded) {
        if (page && a->page() == page)
            result.push_back(a.get());
    }
    return result;
}

void PDFView::setAnnotationExcluded(const pdf::AnnotationPtr& annotation, bool excluded)
{
    if (!annotation)
        return;
    auto& list = d->excluded;
    const auto it = std::find(list.begin(), list.end(), annotation);
    if (excluded == (it != list.end()))
        return;
    if (excluded)
        list.push_back(annotation);
    else
        list.erase(it);
    // Only the annotation's page is drawn again.
    const pdf::PagePtr page = annotation->page();
    const auto at = std::find(d->pages.begin(), d->pages.end(), page);
    if (page && at != d->pages.end())
        annotationsChanged(int(at - d->pages.begin()));
}

bool PDFView::isAnnotationExcluded(const pdf::AnnotationPtr& annotation) const
{
    return annotation && std::find(d->excluded.begin(), d->excluded.end(), annotation) != d->excluded.end();
}

} // namespace vmk::pdfview
