#pragma once

#include <QString>

namespace vmk::platform {

// Files that may hold a decrypted or unsaved copy of a document never sit where another user can read
// them: they live in a folder only this user can enter, are created exclusively (nothing already there is
// reused or followed) and are readable and writable by this user alone.

// Creates path and any missing parents; the last folder is made (or tightened to) 0700. False when it
// could not be created or is not a folder.
bool makePrivateFolder(const QString& path);
// Tightens an existing file to 0600. False when that failed.
bool makeFilePrivate(const QString& path);

// The user's working folder for copies: "$XDG_RUNTIME_DIR/vellumark" (memory-backed, emptied at logout),
// else "vellumark-<uid>" in the temporary folder. It is 0700 and owned by this user, or empty when no
// such folder can be had (a folder of that name owned by someone else is never used).
QString privateTemporaryFolder();

// A new, empty file in the private working folder, created exclusively with mode 0600: "vmk-" + UUID +
// ".pdf". Empty when it could not be created. The caller removes it (truncating writes keep the mode).
QString temporaryPdfPath();
// A new subfolder (0700) of the private working folder, for one copy that must carry a given file name:
// "vmk-" + UUID, holding a marker that shows it is ours. Empty when it could not be made.
QString temporaryPrivateFolder();
// Removes a folder temporaryPrivateFolder() made, with the one copy in it; a folder not of that name,
// without the marker, or holding anything more is left alone (false).
bool removeTemporaryPrivateFolder(const QString& path);
// Creates path exclusively with mode 0600; false when anything is already there or it failed.
bool createExclusiveFile(const QString& path);

// The application's own folders (data, settings, cache) hold the user's signatures, kept originals and
// settings: each is made 0700 (created when missing), and the settings file 0600.
void makeApplicationFoldersPrivate();

// Working copies left by a process that ended without removing them (a crash, a kill): the copies and
// copy folders named and made as above in the private working folder, and this user's "vmk-" + UUID +
// ".pdf" files older than an hour that earlier versions left in the shared temporary folder. Nothing else
// is touched, whatever its name begins with. Called once by the first process of a session.
void removeStaleTemporaryFiles();

} // namespace vmk::platform
