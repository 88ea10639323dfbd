#include "platform/services/PlainText.h"

#include <QLabel>
#include <QMessageBox>
#include <QTextDocument>

namespace vmk::platform {

void makePlain(QMessageBox& box)
{
    box.setTextFormat(Qt::PlainText);
    // The informative text has a label of its own that the box leaves guessing.
    for (QLabel* label : box.findChildren<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        makePlain(*label);
}

void makePlain(QLabel& label)
{
    label.setTextFormat(Qt::PlainText);
    label.setOpenExternalLinks(false);
}

QString plainToolTip(const QString& text)
{
    if (text.isEmpty())
        return text;
    // Markup that shows the escaped text as it is, on one line like a plain tool tip.
    return Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap);
}

} // namespace vmk::platform
