#include "chrome/LabelFitting.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QRegularExpression>

#include <algorithm>

namespace vmk::chrome {

namespace {

// The narrowest a wrapping label can be without cutting a word: its longest word and its margins.
int narrowestUncut(const QLabel* label)
{
    static const QRegularExpression space(QStringLiteral("\\s+"));
    const QFontMetrics metrics(label->font());
    int widest = 0;
    for (const QString& word : label->text().split(space, Qt::SkipEmptyParts))
        widest = std::max(widest, metrics.horizontalAdvance(word));
    const QMargins margins = label->contentsMargins();
    return widest + margins.left() + margins.right() + 2 * label->margin() + 1;
}

} // namespace

void wrapLabelsToFit(QWidget* container, const std::function<int()>& excess)
{
    if (!container || !excess || excess() <= 0)
        return;
    QList<QLabel*> labels;
    for (QLabel* label : container->findChildren<QLabel*>())
        if (!label->text().isEmpty() && !label->isHidden())
            labels << label;
    std::sort(labels.begin(), labels.end(), [](QLabel* a, QLabel* b) { return a->sizeHint().width() > b->sizeHint().width(); });
    for (QLabel* label : labels) {
        const int over = excess();
        if (over <= 0)
            break;
        const int width = std::max({56, narrowestUncut(label), label->sizeHint().width() - over});
        label->setWordWrap(true);
        label->setMaximumHeight(QWIDGETSIZE_MAX);
        label->setFixedWidth(width);
        label->setFixedHeight(label->heightForWidth(width));
        // Every layout above learns at once: the excess is measured on rows above the container too.
        for (QWidget* up = label->parentWidget(); up; up = up->parentWidget()) {
            if (up->layout())
                up->layout()->invalidate();
            up->updateGeometry();
            if (up->isWindow())
                break;
        }
    }
}

} // namespace vmk::chrome
