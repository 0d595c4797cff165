#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "framework/Window.h"

namespace tandrel {
namespace {

std::wstring TextOf(HWND window) {
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    return text;
}

// A window that overrides nothing: every message gets the system's handling.
class PlainWindow : public Window {};

// Refuses its creation, or keeps itself open unless told to close, and
// renames itself on the way (a message sent to itself from inside another).
class Probe : public Window {
public:
    bool refuseCreation = false;
    bool mayClose = false;
    int closes = 0;

protected:
    bool OnCreate(const CREATESTRUCTW&) override { return !refuseCreation; }
    void OnClose(LPARAM tag) override {
        ++closes;
        SetWindowTextW(Handle(), (L"closing " + std::to_wstring(tag)).c_str());
        if (mayClose) Default();
    }
};

TEST(WindowBaseTest, HandlersLeftAloneGiveTheSystemsHandling) {
    PlainWindow plain;
    ASSERT_TRUE(plain.Create(L"TandrelPlainTest", L"素", WS_OVERLAPPEDWINDOW, 0, 0, 0, 100, 100, nullptr, nullptr));
    HWND window = plain.Handle();
    EXPECT_EQ(TextOf(window), L"素");
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(plain.Handle(), nullptr);
}

TEST(WindowBaseTest, OverridesDecideAndDefaultAnswersTheirOwnMessage) {
    Probe refused;
    refused.refuseCreation = true;
    EXPECT_FALSE(refused.Create(L"TandrelProbeTest", L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 100, 100, nullptr, nullptr));
    EXPECT_EQ(refused.Handle(), nullptr);

    Probe probe;
    ASSERT_TRUE(probe.Create(L"TandrelProbeTest", L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 100, 100, nullptr, nullptr));
    HWND window = probe.Handle();
    // The override keeps the window and sees the poster's tag.
    SendMessageW(window, WM_CLOSE, 0, 7);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(TextOf(window), L"closing 7");
    // Default() after a message sent from inside the handler is still the
    // system's answer to the close, not to the renaming.
    probe.mayClose = true;
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(probe.closes, 2);
}

}  // namespace
}  // namespace tandrel
