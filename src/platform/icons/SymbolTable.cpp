#include "platform/icons/SymbolTable.h"

#include <QHash>

namespace vmk::platform::symbols {

namespace {

// Symbol names the interface uses, each drawn with the nearest icon of the bundled line-icon set. The set
// has no filled variants: ".fill" names share the outline of their plain form.
const QHash<QString, QString>& table()
{
    static const QHash<QString, QString> t = {
        {"arrow.down.doc.fill", "file-down"},
        {"arrow.down.right.and.arrow.up.left", "minimize-2"},
        {"arrow.right", "arrow-right"},
        {"arrow.up.right", "arrow-up-right"},
        {"book", "book-open"},
        {"character.cursor.ibeam", "text-cursor"},
        {"character.textbox", "text-cursor-input"},
        {"checkmark", "check"},
        {"checkmark.circle.fill", "circle-check"},
        {"checkmark.shield.fill", "shield-check"},
        {"chevron.down", "chevron-down"},
        {"chevron.up", "chevron-up"},
        {"circle", "circle"},
        {"crop", "crop"},
        {"cursorarrow", "mouse-pointer"},
        {"doc", "file"},
        {"doc.badge.plus", "file-plus"},
        {"doc.on.doc", "copy"},
        {"doc.on.doc.fill", "copy"},
        {"doc.plaintext", "file-text"},
        {"doc.plaintext.fill", "file-text"},
        {"doc.richtext", "file-type"},
        {"doc.text", "file-text"},
        {"doc.viewfinder", "scan"},
        {"exclamationmark.circle.fill", "circle-alert"},
        {"exclamationmark.triangle.fill", "triangle-alert"},
        {"eye.slash", "eye-off"},
        {"folder", "folder"},
        {"hand.raised", "hand"},
        {"highlighter", "highlighter"},
        {"line.diagonal", "slash"},
        {"lineweight", "menu"},
        {"list.bullet.indent", "list-indent-increase"},
        {"lock", "lock"},
        {"lock.fill", "lock"},
        {"lock.open", "lock-open"},
        {"lock.open.fill", "lock-open"},
        {"lock.shield", "shield-lock"},
        {"magnifyingglass", "search"},
        {"minus.magnifyingglass", "zoom-out"},
        {"note.text", "sticky-note"},
        {"palette", "palette"},
        {"pencil", "pencil"},
        {"pencil.tip", "pen-tool"},
        {"photo.on.rectangle", "image"},
        {"photo.on.rectangle.angled", "images"},
        {"play.rectangle", "presentation"},
        {"plus", "plus"},
        {"plus.magnifyingglass", "zoom-in"},
        {"plus.square.on.square", "copy-plus"},
        {"printer", "printer"},
        {"questionmark.circle", "circle-question-mark"},
        {"questionmark.circle.fill", "circle-question-mark"},
        {"rectangle", "square"},
        {"rectangle.grid.1x2", "rows-2"},
        {"rectangle.portrait.and.arrow.forward", "log-out"},
        {"rotate.left", "rotate-ccw"},
        {"rotate.right", "rotate-cw"},
        {"scribble", "line-squiggle"},
        {"sidebar.left", "panel-left"},
        {"signature", "signature"},
        {"square.and.arrow.down.on.square", "import"},
        {"square.and.arrow.up", "share"},
        {"square.grid.2x2", "layout-grid"},
        {"square.stack.3d.down.forward", "layers"},
        {"square.stack.3d.down.forward.fill", "layers"},
        {"square.stack.3d.down.right", "layers-2"},
        {"strikethrough", "strikethrough"},
        {"text.magnifyingglass", "text-search"},
        {"text.viewfinder", "scan-text"},
        {"textformat", "type"},
        {"textformat.size", "a-large-small"},
        {"trash", "trash-2"},
        {"underline", "underline"},
        {"xmark", "x"},
        {"xmark.circle.fill", "circle-x"},
    };
    return t;
}

} // namespace

QString iconFileFor(const QString& symbolName)
{
    const QString base = table().value(symbolName);
    return base.isEmpty() ? QString() : base + QStringLiteral(".svg");
}

QStringList names()
{
    QStringList all = table().keys();
    all.sort();
    return all;
}

} // namespace vmk::platform::symbols
