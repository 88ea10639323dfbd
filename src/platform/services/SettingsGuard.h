#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace vmk::platform::settingsguard {

// Qt's INI reader turns "@Variant(...)" and "@DateTime(...)" values back into QVariants with a recursive
// stream reader that has no depth limit: a settings file holding lists nested a hundred thousand deep
// overflows the stack as soon as any key of its section is read. The guard reads the file first, unescaped
// the way Qt unescapes it, and bounds how deep any such value could nest. A file that might nest deeper than
// anything this program writes is set aside, so that the program starts over from its registered defaults.
inline constexpr int kMaxNesting = 64;

// The whole file's text unescaped as Qt unescapes a value (quotes dropped, escapes resolved, UTF-8 decoded),
// as Latin-1 bytes. Every value Qt reads from the file is a piece of this text.
QByteArray unescapedIniText(QByteArrayView data);

// Whether some value of the INI data could nest deeper than kMaxNesting when Qt reads it.
bool mayNestTooDeep(QByteArrayView iniData);

// Renames the INI file at path to "<path>.unreadable" when mayNestTooDeep; answers whether it did.
bool setAsideIfTooDeep(const QString& path);

} // namespace vmk::platform::settingsguard
