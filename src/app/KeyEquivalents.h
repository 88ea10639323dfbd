#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

namespace vmk::app {

// The one table of the menu bar's keyboard shortcuts, by action and tag. Command becomes Ctrl, Option
// becomes Alt; nothing uses Meta (the Super key belongs to the desktop). Where the plain translation
// would collide with another item or with a key the desktop keeps for itself, the note says why.
struct KeyEquivalent {
    QString action;
    int tag = 0;
    QList<QKeySequence> keys; // the first is the one the menu shows
    QString note;             // why it differs from the plain translation, when it does
};

const QList<KeyEquivalent>& keyEquivalentTable();

// The shortcuts of an item; empty when it has none.
QList<QKeySequence> keyEquivalentsFor(const QString& action, int tag = 0);

} // namespace vmk::app
