// The window on the screens it finds: a remembered place no screen shows
// any more, and the system's colours (a high-contrast scheme).
#include "MainWindowFixture.h"

#include <commctrl.h>

#include <cstdlib>
#include <iterator>

#include "resource.h"

namespace tandrel::test {
namespace {

RECT WorkArea() {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

TEST_F(MainWindowTest, APlaceNoScreenShowsComesBackOntoTheNearestWorkArea) {
    // Stored on a second screen that has gone.
    Open(SettingsText(), [](AppState& o) { o.MainWindow = Rect{5000, 4000, 5700, 4500}; });
    const RECT work = WorkArea();
    RECT r{};
    GetWindowRect(frame->Handle(), &r);
    EXPECT_TRUE(Inside(r, work)) << r.left << "," << r.top << " " << r.right << "," << r.bottom;
    EXPECT_EQ(r.right - r.left, 700);
    EXPECT_EQ(r.bottom - r.top, 500);
    // The same after an import brings such a place.
    options.MainWindow = Rect{-4000, -3000, -3400, -2600};
    frame->ApplyStoredPlacement();
    GetWindowRect(frame->Handle(), &r);
    EXPECT_TRUE(Inside(r, work)) << r.left << "," << r.top;
    EXPECT_EQ(r.right - r.left, 600);
    // A place a screen shows in part is the user's: it stays.
    const LONG left = work.right - 200;
    options.MainWindow = Rect{left, 100, left + 700, 600};
    frame->ApplyStoredPlacement();
    GetWindowRect(frame->Handle(), &r);
    EXPECT_EQ(r.left, left);
}

// Counts the changes of colours and settings a control is told of.
LRESULT CALLBACK CountChanges(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR counter) {
    if (message == WM_SYSCOLORCHANGE || message == WM_SETTINGCHANGE) ++*reinterpret_cast<int*>(counter);
    return DefSubclassProc(window, message, wParam, lParam);
}

int FontHeight(HWND window) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof font, &font);
    return std::abs(static_cast<int>(font.lfHeight));
}

TEST_F(MainWindowTest, SystemColoursAndMetricsReachTheDividerAndTheControls) {
    Open(SettingsText());
    HWND controls[] = {SetupList(), ReportList(), frame->Toolbar(), frame->StatusBar(),
                       GetDlgItem(frame->ControlBar(), IDC_AFTER_LIST)};
    int told[std::size(controls)] = {};
    for (size_t i = 0; i < std::size(controls); ++i)
        SetWindowSubclass(controls[i], CountChanges, 77, reinterpret_cast<DWORD_PTR>(&told[i]));

    // A high-contrast scheme: the system tells every top-level window.
    const int elements[] = {COLOR_BTNFACE, COLOR_WINDOWFRAME};
    const COLORREF before[] = {GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_WINDOWFRAME)};
    const COLORREF scheme[] = {RGB(10, 200, 30), RGB(250, 250, 0)};
    ASSERT_TRUE(SetSysColors(2, elements, scheme));
    Pump();
    RedrawWindow(frame->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    HWND view = View().Handle();
    HDC dc = GetDC(view);
    const COLORREF strip = GetPixel(dc, 40, View().Divider() + 2);
    const COLORREF frameLine = GetPixel(dc, 40, 0);
    ReleaseDC(view, dc);
    SetSysColors(2, elements, before);
    Pump();
    EXPECT_EQ(strip, scheme[0]);
    EXPECT_EQ(frameLine, scheme[1]);
    for (int count : told) EXPECT_EQ(count, 2);

    // A larger caption font: the control bar follows it.
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
    const NONCLIENTMETRICSW original = metrics;
    HWND projects = GetDlgItem(frame->ControlBar(), IDC_PROJECT_COMBO);
    const int height = FontHeight(projects);
    metrics.lfCaptionFont.lfHeight = metrics.lfCaptionFont.lfHeight * 2;
    ASSERT_TRUE(SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof metrics, &metrics, SPIF_SENDCHANGE));
    // What Windows tells its windows then (Wine 8 tells nobody).
    const auto tell = [&] {
        SendMessageW(frame->Handle(), WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS,
                     reinterpret_cast<LPARAM>(L"WindowMetrics"));
        Pump();
    };
    tell();
    const int larger = FontHeight(projects);

    SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof original, const_cast<NONCLIENTMETRICSW*>(&original),
                          SPIF_SENDCHANGE);
    tell();
    EXPECT_GT(larger, height * 3 / 2);
    EXPECT_EQ(FontHeight(projects), height);
    for (int count : told) EXPECT_EQ(count, 4);
    for (size_t i = 0; i < std::size(controls); ++i) RemoveWindowSubclass(controls[i], CountChanges, 77);
}

}  // namespace
}  // namespace tandrel::test
