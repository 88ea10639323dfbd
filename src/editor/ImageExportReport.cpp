#include "editor/ImageExportReport.h"

#include <QStringList>

#include <algorithm>

namespace vmk {

namespace {

// How many page numbers a sentence names before it counts the rest.
constexpr int kNamed = 5;

// "3", "3 and 5", "3, 5 and 8", "3, 5, 8, 9, 12 and 4 more" (numbers from 1).
QString pageList(const QList<int>& pages)
{
    QStringList numbers;
    for (int i = 0; i < std::min<int>(int(pages.size()), kNamed); ++i)
        numbers << QString::number(pages[i] + 1);
    if (pages.size() > kNamed)
        return numbers.join(QStringLiteral(", ")) + QStringLiteral(" and %1 more").arg(pages.size() - kNamed);
    if (numbers.size() == 1)
        return numbers.front();
    const QString last = numbers.takeLast();
    return numbers.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

QString because(ImageExportReport::Miss why, bool one)
{
    switch (why) {
    case ImageExportReport::Miss::removed:
        return one ? QStringLiteral("was deleted during the export") : QStringLiteral("were deleted during the export");
    case ImageExportReport::Miss::tooSlow:
        return QStringLiteral("couldn\u2019t be drawn in time");
    case ImageExportReport::Miss::tooLarge:
        return QStringLiteral("needed too much memory to draw");
    case ImageExportReport::Miss::unreadable:
        return QStringLiteral("couldn\u2019t be read");
    case ImageExportReport::Miss::notSaved:
        return QStringLiteral("couldn\u2019t be saved in that folder");
    }
    return {};
}

} // namespace

ImageExportReport::Miss ImageExportReport::missFor(pdf::RecordOutcome outcome)
{
    switch (outcome) {
    case pdf::RecordOutcome::tooSlow:
        return Miss::tooSlow;
    case pdf::RecordOutcome::tooLarge:
        return Miss::tooLarge;
    default:
        return Miss::unreadable;
    }
}

QString ImageExportReport::message() const
{
    if (m_written == 0 && !m_missed.isEmpty()
        && std::all_of(m_missed.begin(), m_missed.end(), [](const Missed& m) { return m.why == Miss::notSaved; }))
        return QStringLiteral("Exported 0 images. That folder can\u2019t be written to.");
    QString text = QStringLiteral("Exported %1 image%2.").arg(m_written).arg(m_written == 1 ? QString() : QStringLiteral("s"));
    // One sentence per reason, in the order of the first page each one kept out.
    QList<Miss> reasons;
    for (const Missed& m : m_missed)
        if (!reasons.contains(m.why))
            reasons.append(m.why);
    for (const Miss why : reasons) {
        QList<int> pages;
        for (const Missed& m : m_missed)
            if (m.why == why)
                pages.append(m.page);
        std::sort(pages.begin(), pages.end());
        const bool one = pages.size() == 1;
        text += QStringLiteral(" %1 %2 %3, so %4 exported.")
                    .arg(one ? QStringLiteral("Page") : QStringLiteral("Pages"), pageList(pages), because(why, one),
                         one ? QStringLiteral("it wasn\u2019t") : QStringLiteral("they weren\u2019t"));
    }
    return text;
}

} // namespace vmk
