#pragma once

#include "core/VMKDocument.h"
#include "editor/Editor.h"
#include "platform/services/Scheduler.h"
#include "platform/services/UserDefaults.h"

#include <QTemporaryDir>

#include <memory>

namespace vmk::test {

// An editor over a document of blank pages (or the given PDF), with time in the test's hands.
struct OverlayFixture {
    QTemporaryDir dir;
    platform::ManualScheduler scheduler;
    platform::UserDefaults defaults{dir.filePath(QStringLiteral("defaults.ini"))};
    core::VMKDocument document;
    std::unique_ptr<Editor> editor;

    explicit OverlayFixture(int pages = 3, pdf::DocumentPtr pdf = nullptr);
    ~OverlayFixture();
};

// A one-page PDF locked with the password.
pdf::DocumentPtr lockedDocument(const QString& password);

} // namespace vmk::test
