#pragma once

#include "platform/doc/DocumentError.h"

#include <QString>

#include <functional>

namespace vmk::platform {

// Writes a file so that a failure at any step leaves whatever was at targetPath byte for byte as it was:
// write writes the new contents to a fresh temporary file in the same folder, which is flushed to disk,
// checked by verify (when given), given the original's permissions and renamed over the target in one
// step. On failure the temporary file is removed. A symbolic link at targetPath is kept and the file it
// points to is replaced.
// prepare (when given) runs first, on the calling thread, once the folder has proved writable; the rest
// (write, flush, verify, replace) runs inside `run` when given, which must return once it has ended, e.g.
// after running it on a worker. beforeReplace (when given) runs last of all, just before the rename, on
// the same thread as the rest: an error from it (e.g. another program changed the target while the copy
// was written) keeps the target as it is.
// The temporary file is ".<name>.vmk-<8 hex digits>.tmp" beside the target; those a process killed
// mid-save left for the same target, an hour old or more, are removed first.
struct SafeSaveSteps {
    std::function<MaybeError(const QString& temporaryPath)> write;
    std::function<MaybeError(const QString& temporaryPath)> verify;   // optional
    std::function<MaybeError()> prepare;                               // optional
    std::function<void(const std::function<void()>& rest)> run;        // optional
    std::function<MaybeError()> beforeReplace;                         // optional
};
MaybeError safeSaveFile(const QString& targetPath, const SafeSaveSteps& steps);

// Removes the temporary files of saves of targetPath that never finished (the process was killed): this
// user's regular files of exactly that name pattern, an hour old or more. Anything else stays.
void removeStaleSaveFiles(const QString& targetPath);

// Writes bytes to path, flushing them to disk; the error names the file.
MaybeError writeBytesToFile(const QString& path, const QByteArray& bytes);

} // namespace vmk::platform
