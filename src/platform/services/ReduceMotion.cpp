#include "platform/services/ReduceMotion.h"

#include "platform/services/UserDefaults.h"

namespace vmk::platform {

bool reduceMotionEnabled(const UserDefaults& defaults, const QProcessEnvironment& environment)
{
    const QString value = environment.value(QStringLiteral("VMK_REDUCE_MOTION")).trimmed().toLower();
    if (value == QLatin1String("1") || value == QLatin1String("true") || value == QLatin1String("yes"))
        return true;
    if (value == QLatin1String("0") || value == QLatin1String("false") || value == QLatin1String("no"))
        return false;
    return defaults.boolean(QStringLiteral("VMKReduceMotion"));
}

bool reduceMotionEnabled()
{
    return reduceMotionEnabled(UserDefaults::standard(), QProcessEnvironment::systemEnvironment());
}

} // namespace vmk::platform
