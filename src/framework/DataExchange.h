#pragma once
#include <windows.h>

#include <span>
#include <string>
#include <variant>

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

// A control bound to a field of a record, read in both directions: a check
// box to a flag (a bool, or an int kept as 0 or 1), an edit to a text. A
// page names each field once, in its table, for Load and Save alike.
template <class Record>
struct FieldBinding {
    int control;
    std::variant<bool Record::*, int Record::*, std::wstring Record::*> field;
};

// The controls from the record; base is added to every control id (a block
// of controls repeated on one page).
template <class Record>
void LoadFields(HWND dialog, const Record& record, std::span<const FieldBinding<Record>> fields, int base = 0) {
    for (const FieldBinding<Record>& f : fields) {
        const int id = base + f.control;
        if (const auto* flag = std::get_if<bool Record::*>(&f.field)) {
            SetCheck(dialog, id, record.**flag);
        } else if (const auto* number = std::get_if<int Record::*>(&f.field)) {
            SetCheck(dialog, id, record.**number != 0);
        } else {
            SetText(dialog, id, record.*std::get<std::wstring Record::*>(f.field));
        }
    }
}

// The record from the controls.
template <class Record>
void SaveFields(HWND dialog, Record& record, std::span<const FieldBinding<Record>> fields, int base = 0) {
    for (const FieldBinding<Record>& f : fields) {
        const int id = base + f.control;
        if (const auto* flag = std::get_if<bool Record::*>(&f.field)) {
            record.**flag = GetCheck(dialog, id);
        } else if (const auto* number = std::get_if<int Record::*>(&f.field)) {
            record.**number = GetCheck(dialog, id) ? 1 : 0;
        } else {
            record.*std::get<std::wstring Record::*>(f.field) = GetText(dialog, id);
        }
    }
}

enum class IntCheck { Ok, NotInteger, OutOfRange };
// An integer field: optional blanks, an optional sign and decimal digits
// only; a value outside min..max is refused.
IntCheck ParseIntField(const std::wstring& text, int min, int max, int& value);

}  // namespace tandrel
