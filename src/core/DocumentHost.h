#pragma once

namespace vmk::core {

// What a document needs of the window that shows it. The application shell implements it (through the
// window's editor); a document without a host simply skips these steps, so it works without any window.
class DocumentHost {
public:
    virtual ~DocumentHost() = default;

    // Ends any typing in progress on the canvas so that the typed text is part of the page before it is
    // written.
    virtual void commitPendingEdits() = 0;

    // A save finished without error. userInitiated is true for Save and Save As, false for autosaves and
    // Save To; the host shows "Saved." only for the former.
    virtual void didSave(bool userInitiated) = 0;
    // That save also removed the kept earlier versions of the file (it held redactions), after didSave.
    virtual void didRemoveEarlierVersions(int count) { (void)count; }

    // The document re-read its file; the host adopts the new content and restores its position.
    virtual void didRevert() = 0;
};

} // namespace vmk::core
