#pragma once
#include <windows.h>

#include <memory>
#include <thread>
#include <utility>

namespace tandrel {

// Runs work on a thread of its own and posts its result to window as
// message (wParam as given, lParam the result, taken with TakePosted), so a
// drive or share that does not answer holds that thread, never the window.
// A window gone meanwhile takes nothing.
template <typename Result, typename Work>
void PostWhenDone(HWND window, UINT message, WPARAM wParam, Work work) {
    std::thread([window, message, wParam, work = std::move(work)]() mutable {
        auto result = std::make_unique<Result>(work());
        // Once posted, the message owns the result.
        if (PostMessageW(window, message, wParam, reinterpret_cast<LPARAM>(result.get()))) {
            static_cast<void>(result.release());
        }
    }).detach();
}

template <typename Result>
std::unique_ptr<Result> TakePosted(LPARAM lParam) {
    return std::unique_ptr<Result>(reinterpret_cast<Result*>(lParam));
}

}  // namespace tandrel
