#pragma once
// A helper thread that takes no signal: SIGINT and SIGTERM then reach the thread that runs
// the save and knows its temporary file.
#include <signal.h>

#include <system_error>
#include <thread>
#include <utility>

namespace lepotex {

// The thread running `work`, or none (not joinable) where no thread is to be had; the caller
// then does the work itself.
template <typename Work>
std::thread StartQuietThread(Work&& work)
{
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous);
    std::thread thread;
    try {
        thread = std::thread(std::forward<Work>(work));
    } catch (const std::system_error&) {
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return thread;
}

}  // namespace lepotex
