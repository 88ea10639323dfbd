#include "support/LayoutCheck.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGraphicsEffect>
#include <QFontMetrics>
#include <QLabel>
#include <QRegularExpression>
#include <QLayout>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QSplitterHandle>
#include <QStackedWidget>
#include <QTabBar>
#include <QToolBar>
#include <QWidget>

namespace vmk::test {

namespace {

// What of a widget shows, in its parent's coordinates: glass surfaces leave their shadow room out.
QRect shownRect(const QWidget* w)
{
    QRect r = w->geometry();
    if (w->inherits("vmk::chrome::GlassSurface")) {
        const QMargins m = w->contentsMargins();
        r = r.marginsRemoved(m);
    } else if (const QVariant inset = w->property("glassInset"); inset.isValid()) {
        const int i = inset.toInt();
        r = r.adjusted(i, i, -i, -i);
    }
    return r;
}

// Parts of Qt's own composite widgets, laid out by their owner: not the application's layout.
bool isInternal(const QWidget* w)
{
    const QWidget* p = w->parentWidget();
    if (!p)
        return true;
    if (qobject_cast<const QScrollBar*>(w) || qobject_cast<const QSplitterHandle*>(w))
        return true;
    for (const QWidget* up = p; up; up = up->parentWidget())
        if (qobject_cast<const QAbstractSpinBox*>(up) || qobject_cast<const QComboBox*>(up) || qobject_cast<const QTabBar*>(up))
            return true;
    // Children of a scroll area other than its viewport (scroll bar containers, corner).
    if (auto* area = qobject_cast<const QAbstractScrollArea*>(p))
        return w != area->viewport();
    // The extension button and handle of a toolbar.
    if (qobject_cast<const QToolBar*>(p) && QByteArray(w->metaObject()->className()).startsWith("QToolBar"))
        return true;
    return false;
}

// The scroll area whose viewport is this widget, if any.
const QAbstractScrollArea* scrollAreaOfViewport(const QWidget* viewport)
{
    auto* area = qobject_cast<const QAbstractScrollArea*>(viewport->parentWidget());
    return area && area->viewport() == viewport ? area : nullptr;
}

bool checksMinimumSize(const QWidget* w)
{
    if (qobject_cast<const QAbstractScrollArea*>(w) || qobject_cast<const QSplitter*>(w) || qobject_cast<const QToolBar*>(w)
        || qobject_cast<const QStackedWidget*>(w))
        return false;
    if (auto* label = qobject_cast<const QLabel*>(w); label && (label->wordWrap() || label->text().isEmpty()))
        return false;
    return w->property("checksMinimumSize").toBool() || w->parentWidget()->layout() != nullptr;
}

// A widget fading in or out (or flagged as moving, like the canvas rising in) is on its way; where it
// stands then is not where it rests.
bool isInMotion(const QWidget* w, const QWidget* root)
{
    for (const QWidget* up = w; up && up != root; up = up->parentWidget())
        if (up->graphicsEffect() || up->property("inMotion").toBool())
            return true;
    return false;
}

} // namespace

QString widgetPath(const QWidget* widget, const QWidget* root)
{
    QStringList parts;
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        QString part = QString::fromLatin1(w->metaObject()->className());
        if (!w->objectName().isEmpty())
            part += QLatin1Char('#') + w->objectName();
        else if (auto* label = qobject_cast<const QLabel*>(w); label && !label->text().isEmpty())
            part += QLatin1String("\"") + label->text().left(24) + QLatin1String("\"");
        else if (!w->accessibleName().isEmpty())
            part += QLatin1String("[") + w->accessibleName().left(24) + QLatin1String("]");
        parts.prepend(part);
        if (w == root)
            break;
    }
    return parts.join(QLatin1String(" > "));
}

QStringList layoutProblems(QWidget* root)
{
    QStringList problems;
    const QList<QWidget*> all = root->findChildren<QWidget*>();
    for (QWidget* w : all) {
        if (w->isWindow() || !w->isVisibleTo(root) || isInternal(w) || qobject_cast<QMenu*>(w) || isInMotion(w, root))
            continue;
        QWidget* parent = w->parentWidget();
        const QString name = widgetPath(w, root);
        const QRect shown = shownRect(w);
        if (shown.isEmpty())
            continue;

        // Cut off by its parent.
        QRect room = parent->rect();
        bool scrollsX = false, scrollsY = false;
        if (const QAbstractScrollArea* area = scrollAreaOfViewport(parent)) {
            scrollsX = area->horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff;
            scrollsY = area->verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff;
        }
        if (!scrollsX && (shown.left() < room.left() - 1 || shown.right() > room.right() + 1))
            problems << QStringLiteral("%1: cut off across (%2..%3 in a parent %4 wide)")
                            .arg(name).arg(shown.left()).arg(shown.right()).arg(room.width());
        if (!scrollsY && (shown.top() < room.top() - 1 || shown.bottom() > room.bottom() + 1))
            problems << QStringLiteral("%1: cut off down (%2..%3 in a parent %4 high)")
                            .arg(name).arg(shown.top()).arg(shown.bottom()).arg(room.height());

        // Squeezed below what it needs.
        if (checksMinimumSize(w)) {
            // As Qt's layouts do: an explicit minimum (a fixed-size busy bar) stands in for the hint in
            // its direction. A widget whose policy ignores its hint one way says it draws at any size
            // that way (a folder menu eliding its path); only an explicit minimum counts there.
            const QSize hint = w->minimumSizeHint();
            const QSizePolicy policy = w->sizePolicy();
            const int needW = w->minimumWidth() > 0 ? w->minimumWidth()
                              : policy.horizontalPolicy() == QSizePolicy::Ignored ? 0 : hint.width();
            const int needH = w->minimumHeight() > 0 ? w->minimumHeight()
                              : policy.verticalPolicy() == QSizePolicy::Ignored ? 0 : hint.height();
            const QSize need(needW, needH);
            if (need.isValid() && (w->width() < needW - 1 || w->height() < needH - 1))
                problems << QStringLiteral("%1: squeezed to %2×%3, needs %4×%5")
                                .arg(name).arg(w->width()).arg(w->height()).arg(need.width()).arg(need.height());
        }
        // A wrapping label cannot break inside a word: narrower than its longest one, it cuts it.
        if (auto* label = qobject_cast<const QLabel*>(w); label && label->wordWrap() && label->textFormat() != Qt::RichText) {
            const QFontMetrics metrics(label->font());
            const int room = label->contentsRect().width() - 2 * label->margin();
            // Blanks and the invisible break points long names are given separate the words.
            static const QRegularExpression breaks(QStringLiteral("[\\s\\x{200B}]+"));
            for (const QString& word : label->text().split(breaks, Qt::SkipEmptyParts))
                if (metrics.horizontalAdvance(word) > room + 1) {
                    problems << QStringLiteral("%1: cuts “%2” (%3 wide in %4)")
                                    .arg(name, word).arg(metrics.horizontalAdvance(word)).arg(room);
                    break;
                }
        }
    }

    // Overlapping siblings.
    QList<QWidget*> parents{root};
    for (QWidget* w : all)
        if (!w->isWindow() && w->isVisibleTo(root))
            parents << w;
    for (QWidget* parent : parents) {
        if (parent->property("layersChildren").toBool() || qobject_cast<QAbstractScrollArea*>(parent))
            continue;
        QList<QWidget*> kids;
        for (QObject* o : parent->children())
            if (auto* k = qobject_cast<QWidget*>(o); k && !k->isWindow() && k->isVisibleTo(root) && !isInternal(k)
                && !qobject_cast<QMenu*>(k) && !shownRect(k).isEmpty() && !isInMotion(k, root))
                kids << k;
        for (int i = 0; i < kids.size(); ++i)
            for (int j = i + 1; j < kids.size(); ++j) {
                const QRect overlap = shownRect(kids[i]).intersected(shownRect(kids[j]));
                if (overlap.width() > 1 && overlap.height() > 1)
                    problems << QStringLiteral("%1 overlaps %2 by %3×%4")
                                    .arg(widgetPath(kids[i], root), widgetPath(kids[j], root))
                                    .arg(overlap.width()).arg(overlap.height());
            }
    }
    return problems;
}

std::string layoutReport(QWidget* root)
{
    return layoutProblems(root).join(QLatin1Char('\n')).toStdString();
}

} // namespace vmk::test
