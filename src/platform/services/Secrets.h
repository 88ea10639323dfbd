#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace vmk::platform {

// Passwords are overwritten before their memory goes back to the allocator, so that a closed document's
// password cannot be read later from the process's memory. Qt's strings share one buffer between copies:
// overwriting a shared buffer would take the password from under another holder, so every holder keeps a
// copy of its own (ownedCopy) and a shared buffer is only let go of.

// Overwrites the whole buffer (every byte it has room for) when this string is its only holder; true
// when it did. The string keeps its length, now all zeros.
bool overwrite(QString& secret);
bool overwrite(QByteArray& secret);

// Overwrites (as above) and empties.
void wipe(QString& secret);
void wipe(QByteArray& secret);
void wipe(std::optional<QString>& secret);

// A copy in a buffer of its own, shared with nobody.
QString ownedCopy(const QString& secret);
QByteArray ownedCopy(const QByteArray& secret);
std::optional<QString> ownedCopy(const std::optional<QString>& secret);

// No core file is written should the process crash, and no other process of the user may attach to it
// to read its memory (a debugger started with the program still can). Called once at start.
void keepProcessMemoryPrivate();

// Overwrites a fixed buffer the compiler cannot drop as a dead store.
void wipeBytes(void* data, std::size_t size);

} // namespace vmk::platform
