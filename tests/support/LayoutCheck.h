#pragma once

#include <QString>
#include <QStringList>

#include <string>

class QWidget;

namespace vmk::test {

// Walks every visible widget under `root` and describes each fault a person would see:
// - a child reaching outside its parent (cut off), unless the parent scrolls that way;
// - a widget squeezed below its minimum size hint (a label that reads "5 p", a button without room);
// - two siblings overlapping.
// Widgets fading in or out (those under a graphics effect) are left out until they come to rest.
// Glass surfaces keep a margin of shadow around what they show; only what shows counts. A parent that
// layers its children on purpose (the canvas with its floating bars) says so with the property
// "layersChildren"; its children are still checked against it and inside themselves.
QStringList layoutProblems(QWidget* root);

// The same, one problem a line, for an expectation's message: empty when nothing is wrong.
std::string layoutReport(QWidget* root);

// A short path naming a widget for messages: class and object name up to the root.
QString widgetPath(const QWidget* widget, const QWidget* root);

} // namespace vmk::test
