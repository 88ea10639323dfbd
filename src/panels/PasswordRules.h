#pragma once

#include <QString>

namespace vmk::panels {

// Passwords count as equal when they are canonically equivalent Unicode (a precomposed "é" matches "e"
// followed by a combining acute accent), as people cannot see the difference while typing.
bool passwordsMatch(const QString& a, const QString& b);
// The second field is filled in and differs from the first.
bool showsMismatch(const QString& password, const QString& confirm);
// A password, confirmed, and an owner password when a separate one is asked for.
bool canProtect(const QString& password, const QString& confirm, bool separateOwner, const QString& owner);

} // namespace vmk::panels
