#include "panels/ByteCountText.h"

#include <QCoreApplication>
#include <QLocale>

#include <cmath>

namespace vmk::panels {

QString fileSizeText(qint64 bytes)
{
    const QLocale locale;
    if (bytes == 0)
        return QCoreApplication::translate("ByteCount", "Zero KB");
    if (bytes == 1)
        return QCoreApplication::translate("ByteCount", "1 byte");
    if (std::llabs(bytes) < 1000)
        return QCoreApplication::translate("ByteCount", "%1 bytes").arg(locale.toString(bytes));
    struct Unit {
        const char* name;
        double size;
        int decimals;
    };
    static const Unit units[] = {{"KB", 1e3, 0}, {"MB", 1e6, 1}, {"GB", 1e9, 2}, {"TB", 1e12, 2}, {"PB", 1e15, 2}};
    const double value = double(bytes);
    const Unit* unit = &units[0];
    for (const Unit& u : units) {
        // Move to the next unit once the rounded value would read 1,000 or more of this one.
        const double shown = std::round(std::fabs(value) / u.size * std::pow(10, u.decimals)) / std::pow(10, u.decimals);
        unit = &u;
        if (shown < 1000)
            break;
    }
    QString number = locale.toString(value / unit->size, 'f', unit->decimals);
    // "1.0 MB" reads as "1 MB".
    if (unit->decimals > 0) {
        const QString zero = locale.toString(0.0, 'f', unit->decimals).mid(1);
        if (number.endsWith(zero))
            number.chop(zero.size());
    }
    return number + QLatin1Char(' ') + QLatin1String(unit->name);
}

} // namespace vmk::panels
