#pragma once

#include <chrono>
#include <thread>

// Polls a condition that another thread will make true, for at most a few seconds. For waiting on
// work done elsewhere, never for letting time pass.
template <class Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit = std::chrono::milliseconds(5000))
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}
