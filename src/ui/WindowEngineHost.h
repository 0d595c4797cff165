#pragma once
#include <windows.h>

#include "engine/EngineHost.h"

namespace tandrel {

class CReportListCtrl;

// The engine's voice in the windows: every call comes from the worker thread
// and is carried out on the window thread by a sent message, so the worker
// waits for it. Boxes are shown by the worker itself, owned by the view.
class CWindowEngineHost : public EngineHost {
public:
    CWindowEngineHost(HWND frame, HWND view, CReportListCtrl& report) : frame_(frame), view_(view), report_(report) {}

    void SetStatus(const wchar_t* text, const wchar_t* detail) override;
    void AddReportRow(const ReportRow& row) override;
    int MeasureReportText(const std::wstring& text) override;
    void SettingRunState(FolderSetting& setting, int state) override;
    void RunState(int state) override;
    void EnableClose(bool enable) override;
    void ClearReport() override;
    int ShowMessageBox(const std::wstring& text, const std::wstring& caption, UINT style) override;
    bool IsCtrlDown() override;
    DeleteChoice ConfirmDelete(const DeleteConfirmation& file) override;
    void StoreRunResults() override;
    void PostClose() override;
    void EndAutomaticState() override;

private:
    HWND frame_;
    HWND view_;
    CReportListCtrl& report_;
};

}  // namespace tandrel
