#pragma once
// Passes over the lines of a book that do not depend on each other run on two cores: the
// lines of a long book are many, and a second thread costs less than a few thousand of them.
#include <cstddef>
#include <system_error>
#include <thread>
#include <utility>

#include "editor/SideBySide.h"

namespace lepotex {

// From this many lines on, a pass is worth a second thread.
constexpr std::size_t kWorthASecondThread = std::size_t(1) << 15;

// Runs work() on a second thread from here until the object goes, where `worth` it and a thread
// is to be had, else not at all: for work that only makes what comes later faster, such as
// loading what a later step will ask for. work() must not throw.
class Beforehand {
public:
    template <typename Work>
    Beforehand(bool worth, Work&& work)
    {
        static const bool cores = std::thread::hardware_concurrency() > 1;
        if (worth && cores) {
            try {
                thread = std::thread(std::forward<Work>(work));
            } catch (const std::system_error&) {
                // No thread to be had: the later step does the work itself.
            }
        }
    }
    ~Beforehand() { Wait(); }
    // Returns once the work is done, where it runs.
    void Wait()
    {
        if (thread.joinable())
            thread.join();
    }
    Beforehand(const Beforehand&) = delete;
    Beforehand& operator=(const Beforehand&) = delete;

private:
    std::thread thread;
};

// Calls pass(from, to) over 0 .. n in two halves, the second one on a second thread where the
// book is long enough; each line is written by one half only. The pass must not throw.
template <typename Pass>
void InHalves(std::size_t n, Pass&& pass)
{
    SideBySide(
        n >= kWorthASecondThread, [&] { pass(std::size_t(0), n / 2); }, [&] { pass(n / 2, n); });
}

}  // namespace lepotex
