#pragma once

#include "platform/ocr/TextRecognizer.h"

#include <QtGlobal>

#include <memory>
#include <optional>

namespace vmk::platform {

// What one reader costs at its peak, per engine: the engine reading a dense letter page at 300 dpi peaks
// 46 MiB above the page image it is given (its model is a few MiB of that), and its worker holds that image
// (8 MiB grey), the next ones waiting and, while one is drawn, its colour bitmap (34 MiB). The orientation
// engine (about 35 MiB) starts only for a page that may be turned, and is not counted.
inline constexpr qint64 kRecognizerBytes = qint64(96) << 20;

// The memory available to this process now: the system's estimate of what can be had without swapping,
// within the limit of its control group when it has one. Nothing when it cannot be told.
std::optional<qint64> availableMemoryBytes();

// How many engines may read at once: one per core, and no more than half the available memory allows,
// but always one. Unknown memory leaves the cores alone to decide.
int recognitionEngineLimit(std::optional<qint64> availableBytes, int cores);
// The same for this machine now.
int recognitionEngineLimit();

// Engines are slow to start and large, so the process keeps them in one pool that lends them to whichever
// thread reads a page. No more engines are alive at once than the limit at the time one more is asked
// for: a borrower beyond it waits until another gives one back. A borrowed engine belongs to the borrowing
// thread until the lease ends.
class RecognizerLease {
public:
    explicit RecognizerLease(const RecognitionOptions& options = {});
    ~RecognizerLease();
    RecognizerLease(const RecognizerLease&) = delete;
    RecognizerLease& operator=(const RecognizerLease&) = delete;

    TextRecognizer& operator*() const { return *m_recognizer; }
    TextRecognizer* operator->() const { return m_recognizer.get(); }

private:
    std::unique_ptr<TextRecognizer> m_recognizer;
    RecognitionOptions m_options;
};

// Ends the engines nobody is using and hands their memory back to the system; engines lent now end as they
// come back, unless a new lease comes first. A later page starts new ones.
void releaseIdleRecognizers();
// Engines alive now, lent or idle.
int recognizersAlive();

} // namespace vmk::platform
