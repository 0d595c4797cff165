#pragma once
#include <windows.h>

#include <functional>
#include <string>

namespace tandrel {

// Every message box of the program goes through here. Tests install a
// handler that records the box and answers it; the program shows real boxes.
using MessageBoxHandler = std::function<int(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags)>;
// Installs a handler and returns the previous one (empty = real boxes).
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// Shows a top-most message box and returns the button pressed.
int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags);
// The same with both texts from the string table.
int ShowMessageIds(HWND owner, unsigned textId, unsigned captionId, UINT flags);
// Text from the string table with "%1" (and "%2" when second is given)
// filled in; caption from the string table or given.
int ShowMessageFormat(HWND owner, unsigned textId, unsigned captionId, UINT flags, const std::wstring& first,
                      const std::wstring* second = nullptr);
int ShowMessageFormatCaption(HWND owner, unsigned textId, const std::wstring& caption, UINT flags,
                             const std::wstring& first, const std::wstring* second = nullptr);

}  // namespace tandrel
