#pragma once

#include "core/DocumentHost.h"

#include "platform/doc/WindowController.h"

#include <functional>
#include <vector>

namespace vmk::coretest {

// A window that records what its document asks of it.
class FakeHost : public platform::WindowController, public core::DocumentHost {
public:
    void showWindow() override {}
    void closeWindow() override {}
    void commitPendingEdits() override
    {
        ++commits;
        if (onCommit)
            onCommit();
    }
    void didSave(bool userInitiated) override { saves.push_back(userInitiated); }
    void didRevert() override { ++reverts; }

    int commits = 0;
    int reverts = 0;
    std::vector<bool> saves;
    std::function<void()> onCommit;
};

} // namespace vmk::coretest
