#pragma once
#include <windows.h>

#include <string>

namespace tandrel {

// Moving values between a dialog's controls and plain fields.

bool GetCheck(HWND dialog, int id);
void SetCheck(HWND dialog, int id, bool on);
std::wstring GetText(HWND dialog, int id);
void SetText(HWND dialog, int id, const std::wstring& text);
// Index of the checked button among ids first..last; -1 when none is.
int GetRadio(HWND dialog, int first, int last);
void SetRadio(HWND dialog, int first, int last, int index);
int GetComboIndex(HWND dialog, int id);
void SetComboIndex(HWND dialog, int id, int index);
void AddComboItem(HWND dialog, int id, const std::wstring& text);

enum class IntCheck { Ok, NotInteger, OutOfRange };
// An integer field: optional blanks, an optional sign and decimal digits
// only; a value outside min..max is refused.
IntCheck ParseIntField(const std::wstring& text, int min, int max, int& value);

}  // namespace tandrel
