#pragma once

// Splitting page content into several streams, each holding one top-level piece of the drawing: one text
// object, one picture, or the graphics between them. Readers concatenate a page's streams, so the page
// draws exactly as before; an editing engine that rewrites only the streams holding what it changed then
// leaves everything else byte for byte.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPointF>
#include <QString>

namespace vmk::pdf {

// Offsets at which the content may be cut: between top-level operators (outside BT/ET, q/Q at depth 0,
// never inside an inline image), where a text object, a saved-state group or a picture begins or has ended.
// Runs of plain graphics stay together. Empty when the content does not parse as balanced or when cutting
// would not separate anything.
QList<qsizetype> contentCutPoints(const QByteArray& content);

// The content with every restore that has nothing saved to restore (outside text objects) blanked out, the
// offsets kept. Most readers pass over such a Q, but some stop drawing the page there: anything an edit adds
// after it would be drawn by some readers and not by others.
QByteArray withoutUnmatchedRestores(const QByteArray& content);

// The graphics and text state the top level of the content has set before each cut point, as operators that
// set it again (colours and their spaces, line and text state but the font, parameter dictionaries). A piece
// the editing engine rewrites is wrapped in a saved-state group of its own, so that what it set for the
// pieces after it is gone unless they set it again themselves.
QList<QByteArray> statesAtCuts(const QByteArray& content, const QList<qsizetype>& cuts);

// The content with its text objects ended and begun again where a new line starts (the line's text matrix
// and text state set again), and the saved-state groups around its drawing units (text objects, groups,
// pictures; page-wide groups, nested ones too) closed and opened again between them in the states they had
// reached, so that the cut points separate lines and units that would otherwise share one piece. Draws
// exactly as before. The content unchanged when it does not parse as balanced, uses a text clip, or has
// nothing to separate. With `spacedRunsApart`, text moved along a line is set apart as well wherever
// character or word spacing, scaling or rise is in force on either side (the editing engine writes text
// again without them, so what shares a piece with an edit would move).
QByteArray withLinesApart(const QByteArray& content, bool spacedRunsApart = false);

// The editing engine tells the fonts it writes apart by kind and base name, a subset's tag left out: two
// subsets of one face on a page ("ABCDEF+Name", "GHIJKL+Name"), written again in one pass, would both be
// drawn with the first. While the engine has the document, such subsets have this mark in the place of the
// tag's '+' (and tags of their own where two have one), so that their names differ and keep their length;
// what the engine saves has them restored.
constexpr char kSubsetTagMark = '_';

// The document with every page's content split at its cut points, protection kept (the password opens a
// protected document). The bytes unchanged when nothing needed splitting, anything failed, or the pages
// took longer than `budgetMs` to go through (negative: no limit). Pages whose content passes through a
// picture filter are left whole unread; pictures themselves are never decoded. A wait called off
// (waitCancelled()) stops it early, with the bytes unchanged. Given `markedSubsets`, the subsets of one face
// that share a page are marked too (see kSubsetTagMark), each new name added to it with the old one.
// `patternText`, when given, receives for each page read (by index) where it shows text painted with a
// pattern (see patternTextOrigins), whether or not the bytes were split.
constexpr int kSplitBudgetMs = 4000;
QByteArray splitPageContents(const QByteArray& data, const QString& password = {}, int budgetMs = kSplitBudgetMs,
                             QHash<QByteArray, QByteArray>* markedSubsets = nullptr,
                             QHash<int, QList<QPointF>>* patternText = nullptr);

} // namespace vmk::pdf
