#pragma once

#include <QByteArray>
#include <QFile>

namespace vmk::test {

// A figure in KiB from the process's status ("VmRSS", "RssAnon", ...), or -1 when it cannot be read.
inline long processStatusKiB(const QByteArray& field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = field + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
    return -1;
}

} // namespace vmk::test
