#include "panels/PasswordRules.h"

namespace vmk::panels {

bool passwordsMatch(const QString& a, const QString& b)
{
    return a == b || a.normalized(QString::NormalizationForm_C) == b.normalized(QString::NormalizationForm_C);
}

bool showsMismatch(const QString& password, const QString& confirm)
{
    return !confirm.isEmpty() && !passwordsMatch(password, confirm);
}

bool canProtect(const QString& password, const QString& confirm, bool separateOwner, const QString& owner)
{
    return !password.isEmpty() && passwordsMatch(password, confirm) && (!separateOwner || !owner.isEmpty());
}

} // namespace vmk::panels
