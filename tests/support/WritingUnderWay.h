#pragma once

#include "platform/pdf/engine/EngineGate.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace vmk::test {

// Keeps the main thread off the engine as a save's writing does, until end() or for at most `limitMs`:
// a main-thread engine use meanwhile waits at the gate (EngineGate::mainThreadWaits() counts it) and the
// limit ends such a test instead of hanging it.
struct WritingUnderWay {
    std::atomic<bool> open{false};
    std::thread watchdog;
    explicit WritingUnderWay(int limitMs)
    {
        pdf::detail::EngineGate::close();
        watchdog = std::thread([this, limitMs] {
            for (int waited = 0; waited < limitMs && !open.load(); waited += 5)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            end();
        });
    }
    void end()
    {
        if (!open.exchange(true))
            pdf::detail::EngineGate::open();
    }
    ~WritingUnderWay()
    {
        end();
        watchdog.join();
    }
    WritingUnderWay(const WritingUnderWay&) = delete;
    WritingUnderWay& operator=(const WritingUnderWay&) = delete;
};

} // namespace vmk::test
