#include "platform/services/ProcessInfo.h"

#include <QFile>
#include <QList>

#include <ctime>
#include <unistd.h>

namespace vmk::platform {

double millisecondsSinceLaunch()
{
    // Field 22 of /proc/self/stat is the start time in clock ticks after boot; the boot-time clock
    // measures the same span, so the difference is monotonic and unaffected by wall-clock changes.
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // The command name (field 2) may hold spaces; count fields after its closing parenthesis.
    const qsizetype close = text.lastIndexOf(')');
    if (close < 0)
        return -1;
    const QList<QByteArray> fields = text.mid(close + 2).split(' ');
    // After ")" the fields start at number 3, so field 22 is at index 19.
    if (fields.size() < 20)
        return -1;
    bool ok = false;
    const double startTicks = fields.at(19).toDouble(&ok);
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    if (!ok || ticksPerSecond <= 0)
        return -1;
    timespec now{};
    if (clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return -1;
    const double nowSeconds = double(now.tv_sec) + double(now.tv_nsec) / 1e9;
    return (nowSeconds - startTicks / double(ticksPerSecond)) * 1000.0;
}

} // namespace vmk::platform
