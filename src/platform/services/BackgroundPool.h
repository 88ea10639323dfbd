#pragma once

class QThreadPool;

namespace vmk::platform {

// Where our own background work runs (freeing closed documents, ending idle engines, reading files for a
// list), instead of Qt's global pool. Qt's painting hands large fills, scalings and image conversions to
// the global pool and waits for them on the window's thread, so anything of ours that runs long there holds
// the window still. Like the global pool, it finishes its work before the process ends.
QThreadPool& backgroundPool();

} // namespace vmk::platform
