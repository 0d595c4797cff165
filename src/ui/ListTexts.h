#pragma once
#include <cstdint>
#include <ctime>
#include <string>

#include "model/GlobalOptions.h"

namespace tandrel {

// A time whose text is as wide as any in a list's date columns.
constexpr std::time_t kSampleTime = 1230778088;  // 2009/01/01 02:08:08 UTC

// "1,234,567".
std::wstring GroupedNumber(std::uint64_t n);
// "1,023 B", "1.5 KB", "1,023.9 KB", "5.0 GB": one truncated decimal.
std::wstring SizeText(std::uint64_t bytes);
// The format a list shows dates in (the default for an empty one) and the
// dashes it shows for a missing date.
std::wstring ListDateFormat(const std::wstring& format);
std::wstring BlankDate(const std::wstring& format);
// A time in the list's format; the blank form when there is none.
std::wstring ListTime(std::time_t time, const std::wstring& format, const std::wstring& blank);
// Column "最終実行結果" of a setting.
std::wstring ResultText(int errors, std::int64_t lastExec, const std::wstring& format, const std::wstring& blank);
// Text of the compare-tool command; the main menu shows its accelerator.
std::wstring CompareToolMenuText(const GlobalOptions& options, bool mainMenu);

}  // namespace tandrel
