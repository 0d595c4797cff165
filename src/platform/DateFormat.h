#pragma once
#include <ctime>
#include <string>

#include "model/GlobalOptions.h"

namespace tandrel {

// The project that %0p, %p and %P stand for: a slot of the project list.
struct ProjectSlot {
    const ProjectCollection* projects = nullptr;
    int slot = -1;

    // slot + 1, also for a slot that is not in the list.
    int Number() const { return slot + 1; }
    // The number padded with zeros to the digit count of the list's size.
    std::wstring PaddedNumber() const;
    // Empty for a slot that is not in the list.
    std::wstring Name() const;
};

inline ProjectSlot ActiveProjectOf(const GlobalOptions& options) {
    return {&options.projects, options.ActiveProject};
}

// Replaces %0p, then %p, then %P. For a file name the characters of the
// project name that a file name cannot hold become "_".
std::wstring ExpandProjectPlaceholders(std::wstring text, const ProjectSlot& project, bool forFileName);

// strftime of the local time into at most 127 characters; empty when the
// pattern holds a code the C runtime does not know, the text does not fit,
// or the time has no local form.
std::wstring FormatLocalTime(const std::wstring& pattern, std::time_t time);

// The moment a local date and time names (summer time as the system knows
// it); -1 when it has none.
std::time_t LocalTimeOf(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// A folder or log name: project placeholders, then the date codes, then
// environment variables. "%NAME%" of a defined variable (a name of two or
// more characters) is a variable, not a date code followed by text.
std::wstring DateFormat(const std::wstring& pattern, const ProjectSlot& project, std::time_t time);

// The wildcard matching every name the pattern can produce: each date code
// becomes as many "?" as it has characters.
std::wstring DateMask(const std::wstring& pattern, const ProjectSlot& project);
// The name a log pattern makes for every time, as the log files see it:
// like DateMask, but with environment variables expanded as DateFormat
// expands them. Each "?" stands for one digit (a file name holds no "?").
std::wstring LogMask(const std::wstring& pattern, const ProjectSlot& project);
// The blank form of a time format shown in lists: each date code becomes
// as many "-" as it has characters. A time format only: "%p" is the
// morning or afternoon mark, not the project, and a "?" stays a "?".
std::wstring DashMask(const std::wstring& pattern);

}  // namespace tandrel
