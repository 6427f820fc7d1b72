#pragma once

namespace lepotex {

// Marks a long command as running for its lifetime, so that a close request is refused.
class RunningGuard {
public:
    explicit RunningGuard(bool& running) : running(running), before(running) { running = true; }
    ~RunningGuard() { running = before; }
    RunningGuard(const RunningGuard&) = delete;
    RunningGuard& operator=(const RunningGuard&) = delete;

private:
    bool& running;
    bool before;
};

}  // namespace lepotex
