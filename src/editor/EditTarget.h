#pragma once

#include "core/pdfium/EditModel.h"

#include <QRectF>

namespace vmk {

// What Edit mode points at: one text block or one picture of a page, with the page's index. Its page-object
// handles are meaningful only while the session that found it is open and those objects are still on the
// page. Two targets are equal when they name the same block or picture (id and bounds) on the same page;
// text, font and pixels play no part, so retyping does not make a hovered block "new".
struct EditTarget {
    enum class Kind { text, image };

    Kind kind = Kind::text;
    core::EditableTextBlock block; // kind text
    core::EditableImage image;     // kind image
    int page = 0;

    static EditTarget text(const core::EditableTextBlock& block, int page)
    {
        EditTarget t;
        t.kind = Kind::text;
        t.block = block;
        t.page = page;
        return t;
    }
    static EditTarget picture(const core::EditableImage& image, int page)
    {
        EditTarget t;
        t.kind = Kind::image;
        t.image = image;
        t.page = page;
        return t;
    }

    bool isText() const { return kind == Kind::text; }
    bool isImage() const { return kind == Kind::image; }
    QRectF bounds() const { return isText() ? block.bounds : image.bounds; }
    qint64 id() const { return isText() ? block.id : image.id; }
    // A picture, or a text block that can be retyped.
    bool isEditable() const { return isImage() || block.isEditable; }

    friend bool operator==(const EditTarget& a, const EditTarget& b)
    {
        if (a.kind != b.kind || a.page != b.page)
            return false;
        return a.isText() ? a.block == b.block : a.image == b.image;
    }
};

} // namespace vmk
