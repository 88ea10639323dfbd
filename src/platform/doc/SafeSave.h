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
// after running it on a worker.
struct SafeSaveSteps {
    std::function<MaybeError(const QString& temporaryPath)> write;
    std::function<MaybeError(const QString& temporaryPath)> verify;   // optional
    std::function<MaybeError()> prepare;                               // optional
    std::function<void(const std::function<void()>& rest)> run;        // optional
};
MaybeError safeSaveFile(const QString& targetPath, const SafeSaveSteps& steps);

// Writes bytes to path, flushing them to disk; the error names the file.
MaybeError writeBytesToFile(const QString& path, const QByteArray& bytes);

} // namespace vmk::platform
