#include "platform/services/PlainText.h"

#include <QLabel>
#include <QMessageBox>
#include <QTextDocument>

namespace vmk::platform {

QString breakableText(const QString& text)
{
    // Long enough that ordinary words never get a break point, short enough that a run of them fits
    // the narrowest alert.
    constexpr int kLongestRun = 24;
    constexpr int kRunBeforeSeparatorBreak = 8;
    QString out;
    out.reserve(text.size() + text.size() / 8);
    int run = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        out += c;
        if (c.isSpace() || c == QChar(0x200B)) {
            run = 0;
            continue;
        }
        ++run;
        const QChar next = i + 1 < text.size() ? text.at(i + 1) : QChar();
        // Never between the halves of a surrogate pair, before a combining mark, beside a break already
        // there or at the very end.
        if (next.isNull() || next.isSpace() || next == QChar(0x200B) || next.isLowSurrogate() || next.isMark())
            continue;
        const bool separator = c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char('_')
                               || c == QLatin1Char('-') || c == QLatin1Char('.');
        if (run >= kLongestRun || (separator && run >= kRunBeforeSeparatorBreak)) {
            out += QChar(0x200B);
            run = 0;
        }
    }
    return out;
}

void makePlain(QMessageBox& box)
{
    box.setTextFormat(Qt::PlainText);
    // Both texts wrap at the box's width, even a path or a name without spaces.
    box.setText(breakableText(box.text()));
    if (!box.informativeText().isEmpty())
        box.setInformativeText(breakableText(box.informativeText()));
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
