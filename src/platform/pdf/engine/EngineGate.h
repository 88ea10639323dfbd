#pragma once

#include <functional>

class QObject;

namespace vmk::pdf::detail {

// Keeps the application's main thread off the engine while a worker writes one of its documents. The
// writer reads every object and changes the document in place as it goes (objects loaded, streams and
// structure set aside and put back); nothing else may read any document meanwhile, and the engine's
// shared store may compare keys against the one being written. Closed from the main thread, opened by the
// writer. While it is closed, the main thread's first engine use (ctx()) waits for it to open: work that
// can wait looks at isClosed() first and puts itself off.
namespace EngineGate {

// On the main thread: from now on its engine use waits. Nests.
void close();
// On any thread, once per close(): the main thread may use the engine again.
void open();
bool isClosed();
// Called by ctx(): on the main thread, waits while the gate is closed.
void passMainThread();
// On the main thread: runs `then` there once the gate is open (on a later turn), unless `context` is gone.
void whenOpen(QObject* context, std::function<void()> then);
// Frees engine objects (`release` uses ctx()): on the main thread while the gate is closed, once it opens,
// there, so that letting go of a page's drawing or a handle never waits for the writer; otherwise at once.
void releaseLater(std::function<void()> release);
// How many times the main thread has waited at the gate (for the logs and tests).
int mainThreadWaits();

} // namespace EngineGate

} // namespace vmk::pdf::detail
