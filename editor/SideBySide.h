#pragma once
// Two independent parts of one pass over a long text, the second on a second core.
#include <system_error>
#include <thread>

namespace lepotex {

// Calls here() on this thread and there() on a second one where `worth` it and a thread is to
// be had, else one after the other. there() must not throw and must touch nothing here() does
// but to read it.
template <typename Here, typename There>
void SideBySide(bool worth, Here&& here, There&& there)
{
    static const bool cores = std::thread::hardware_concurrency() > 1;
    std::thread second;
    if (worth && cores) {
        try {
            second = std::thread([&] { there(); });
        } catch (const std::system_error&) {
            // No thread to be had: both run here.
        }
    }
    try {
        here();
    } catch (...) {
        if (second.joinable())
            second.join();
        throw;
    }
    if (second.joinable())
        second.join();
    else
        there();
}

}  // namespace lepotex
