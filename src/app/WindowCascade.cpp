#include "app/WindowCascade.h"

#include <QStringList>

#include <algorithm>
#include <cstdlib>

namespace vmk::app {

QPoint cascadedOrigin(QPoint wanted, const QList<QPoint>& taken, const QRect& area, const QSize& size)
{
    constexpr int kStep = 28;
    auto occupied = [&](QPoint p) {
        for (const QPoint& t : taken)
            if (std::abs(t.x() - p.x()) < 4 && std::abs(t.y() - p.y()) < 4)
                return true;
        return false;
    };
    QPoint p = wanted;
    for (int i = 0; i < 64 && occupied(p); ++i) {
        p += QPoint(kStep, kStep);
        if (!area.isEmpty() && (p.x() + size.width() > area.right() + 1 || p.y() + size.height() > area.bottom() + 1))
            p = area.topLeft() + QPoint(kStep, kStep) * (1 + i % 8) / 2;
    }
    return p;
}

QString savedFrameText(const SavedFrame& frame)
{
    const QRect& r = frame.content;
    QString text = QStringLiteral("%1 %2 %3 %4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    if (frame.maximized)
        text += QStringLiteral(" maximized");
    return text;
}

std::optional<SavedFrame> parseSavedFrame(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != 4 && !(parts.size() == 5 && parts[4] == QLatin1String("maximized")))
        return std::nullopt;
    int numbers[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        numbers[i] = parts[i].toInt(&ok);
        if (!ok)
            return std::nullopt;
    }
    const QRect content(numbers[0], numbers[1], numbers[2], numbers[3]);
    if (content.width() <= 0 || content.height() <= 0)
        return std::nullopt;
    return SavedFrame{content, parts.size() == 5};
}

QRect frameOnScreen(const QRect& content, const QRect& area, const QSize& minimum)
{
    const QSize size = content.size().expandedTo(minimum);
    if (area.isEmpty())
        return QRect(content.topLeft(), size);
    // Enough of it stays on the screen to take hold of; its top never above the screen, where its title
    // bar could not be reached.
    constexpr int kReachable = 120;
    const int x = std::clamp(content.x(), area.left() - size.width() + kReachable, area.right() + 1 - kReachable);
    const int y = std::clamp(content.y(), area.top(), area.bottom() + 1 - kReachable);
    return QRect(QPoint(x, y), size);
}

} // namespace vmk::app
