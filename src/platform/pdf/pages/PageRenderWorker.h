#pragma once

// Layer-internal: drawing that its caller waits for only as long as its budget allows.

#include "platform/pdf/pages/PageCapture.h"
#include "platform/pdf/engine/Fz.h"

#include <functional>
#include <memory>

namespace vmk::pdf::detail {

// What a caller waits beyond the budget's time for work that stops within it on its own.
inline constexpr int kStopGraceMs = 1500;

enum class WaitEnd { finished, timedOut, cancelled };

// Runs `work` on a thread of its own and waits until it ends, `milliseconds` pass (<= 0: no limit) or
// `cancel` (may be null) is raised. The work is handed a flag that is raised when its caller stops
// waiting; a decoder that never looks at it goes on alone until it ends, so the work must own
// everything it touches. At most a few such abandoned runs are alive at once: a new run waits (within
// its own time) for one of them to end, so that a file full of stuck pages cannot pile up threads and
// memory.
WaitEnd runAbandonable(int milliseconds, const RecordCancel* cancel, std::function<void(const RecordCancel&)> work);

// runAbandonable for a drawing whose `work` fills `result`, waiting the budget's time and the grace: what
// was drawn, or cancelled, or too slow when the wait ran out first.
DrawResult drawAbandonable(const RecordBudget& budget, const RecordCancel* cancel, const std::shared_ptr<DrawResult>& result,
                           std::function<void(const RecordCancel&)> work);

// Abandoned runs still going, in the whole process.
int abandonedRuns();

// Draws a display list on this thread: the pixels `tile` (null: all) of the list's `bounds` at `scale`
// on white. Interpreting and decoding may spend `budget` (the picture drawn into is not counted). `family`:
// the engine family the list was recorded in, null for ctx()'s.
DrawResult drawList(fz_display_list* list, const EngineFamily* family, fz_rect bounds, double scale,
                    const QRect& tile, const RecordBudget& budget, const RecordCancel& cancel);

// Draws the pixels `area` of a display list at `ctm` on white into `target`'s top left (Format_RGB32, at
// least as large), with context `c`, within `budget` (the target is not counted): how it ended.
RecordOutcome drawListInto(fz_context* c, fz_display_list* list, fz_matrix ctm, fz_irect area, QImage& target,
                           const RecordBudget& budget, const RecordCancel* cancel);

} // namespace vmk::pdf::detail
