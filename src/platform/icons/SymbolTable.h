#pragma once

// Private to the symbol icons: the table from symbol names to icon file names.

#include <QString>
#include <QStringList>

namespace vmk::platform::symbols {

// The icon file name ("lock-keyhole.svg") for a symbol name, or empty when the name is not in the table.
QString iconFileFor(const QString& symbolName);
QStringList names();

} // namespace vmk::platform::symbols
