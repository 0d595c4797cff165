#include "ui/TaskbarProgress.h"

#include <shobjidl.h>

namespace tandrel {

namespace {
// The shell's taskbar list object.
constexpr CLSID kTaskbarList = {0x56FDF344, 0xFD6D, 0x11D0, {0x95, 0x8A, 0x00, 0x60, 0x97, 0xC9, 0xA0, 0x90}};
}  // namespace

TaskbarState TaskbarStateOf(bool running, bool waiting, const ProgressFigures& figures) {
    if (!running) return TaskbarState::None;
    if (waiting) return TaskbarState::Paused;
    if (figures.batch.errors > 0) return TaskbarState::Error;
    return figures.secondsLeft ? TaskbarState::Normal : TaskbarState::Indeterminate;
}

TaskbarButton::~TaskbarButton() {
    if (list_) list_->Release();
    if (comStarted_) CoUninitialize();
}

void TaskbarButton::Show(HWND window, TaskbarState state, const ProgressFigures& figures) {
    state_ = state;
    if (!tried_) {
        tried_ = true;
        comStarted_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
        if (FAILED(CoCreateInstance(kTaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&list_))) ||
            FAILED(list_->HrInit())) {
            if (list_) list_->Release();
            list_ = nullptr;
        }
    }
    if (!list_) return;
    TBPFLAG flag = TBPF_NOPROGRESS;
    switch (state) {
        case TaskbarState::None: flag = TBPF_NOPROGRESS; break;
        case TaskbarState::Normal: flag = TBPF_NORMAL; break;
        case TaskbarState::Indeterminate: flag = TBPF_INDETERMINATE; break;
        case TaskbarState::Paused: flag = TBPF_PAUSED; break;
        case TaskbarState::Error: flag = TBPF_ERROR; break;
    }
    list_->SetProgressState(window, flag);
    if (state == TaskbarState::None || state == TaskbarState::Indeterminate) return;
    // The share of the batch's time that has passed, where it can be told;
    // a paused or error bar keeps the value it had.
    if (!figures.secondsLeft) return;
    const ULONGLONG spent = figures.elapsedMs / 1000;
    const ULONGLONG total = spent + static_cast<ULONGLONG>(*figures.secondsLeft);
    list_->SetProgressValue(window, spent, total > 0 ? total : 1);
}

}  // namespace tandrel
