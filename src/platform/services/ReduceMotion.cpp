#include "platform/services/ReduceMotion.h"

#include "platform/services/DesktopAnimations.h"
#include "platform/services/UserDefaults.h"

namespace vmk::platform {

bool reduceMotionEnabled(const UserDefaults& defaults, const QProcessEnvironment& environment, bool desktopAnimates)
{
    const QString value = environment.value(QStringLiteral("VMK_REDUCE_MOTION")).trimmed().toLower();
    if (value == QLatin1String("1") || value == QLatin1String("true") || value == QLatin1String("yes"))
        return true;
    if (value == QLatin1String("0") || value == QLatin1String("false") || value == QLatin1String("no"))
        return false;
    const QString setting = QStringLiteral("VMKReduceMotion");
    if (defaults.contains(setting))
        return defaults.boolean(setting);
    return !desktopAnimates;
}

bool reduceMotionEnabled()
{
    return reduceMotionEnabled(UserDefaults::standard(), QProcessEnvironment::systemEnvironment(),
                               DesktopAnimations::shared().enabled());
}

} // namespace vmk::platform
