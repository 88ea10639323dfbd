#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace vmk::platform {

// Files as they were when a document was opened, kept in the application's data folder before the first
// time a change is written over them, so the user can go back even after changes were saved in place.
// Each kept file sits in a private folder (0700) as a private copy (0600) next to a small record of where
// it came from. Kept files older than kMaxAgeDays go, and the oldest go first while all together exceed
// kMaxTotalBytes (the newest one always stays).
class KeptOriginals {
public:
    static constexpr int kMaxAgeDays = 30;
    static constexpr qint64 kMaxTotalBytes = qint64(512) * 1024 * 1024;

    struct Version {
        QString keptPath;      // the copy
        QString originalPath;  // the file it was copied from
        QDateTime keptAt;
        qint64 size = 0;
    };

    // "Originals" in the application's data folder, unless a test pointed it elsewhere.
    static QString folder();
    static void setFolder(const QString& folder);

    // Copies originalPath as it is now; nothing when it could not be copied.
    static std::optional<Version> keep(const QString& originalPath);
    // The kept copies of the file at path, newest first.
    static QList<Version> versionsOf(const QString& path);
    // Removes every kept copy of the file at path, with its record; only those this folder's records name
    // as copies of that file. Answers how many went.
    static int forget(const QString& path);
    // The record follows a file that was renamed or moved.
    static void followMove(const QString& from, const QString& to);
    // Applies the age and size bounds.
    static void prune(int maxAgeDays = kMaxAgeDays, qint64 maxTotalBytes = kMaxTotalBytes);
};

} // namespace vmk::platform
