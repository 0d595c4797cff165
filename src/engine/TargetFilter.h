#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "model/FolderSetting.h"
#include "model/AppState.h"

namespace tandrel {

// What one name list says about one entry.
enum class FilterOutcome {
    NoDecision,  // the list has no entries
    Target,      // listed in an include list, or not listed in an exclude list
    NotListed,   // missing from an include list
    Excluded,    // listed in an exclude list
};

enum class ListMode { Include, Exclude };

struct TargetModes {
    ListMode folders;
    ListMode files;
};
// The modes of the folder and file lists for a TargetType; values outside
// 0..3 act as the default 1 (both exclude).
TargetModes ModesForTargetType(int targetType);

// One case-insensitive regular expression, or none. Matching searches the
// text: the patterns carry their own anchors.
class TargetMatcher {
public:
    TargetMatcher();
    ~TargetMatcher();
    TargetMatcher(TargetMatcher&&) noexcept;
    TargetMatcher& operator=(TargetMatcher&&) noexcept;

    // False, leaving no pattern, when the pattern is not a valid expression.
    bool SetPattern(const std::wstring& pattern);
    // Whole names without wildcards, in lower case as the patterns fold
    // them: compared as the expression would, without one.
    void SetNames(std::vector<std::wstring> names);
    void Clear();
    bool HasPattern() const;
    bool Test(std::wstring_view text) const;

private:
    struct Compiled;
    std::unique_ptr<Compiled> compiled_;
};

// '*' and '?' as wildcards, the other pattern characters escaped.
std::wstring ConvertWildcards(const std::wstring& text);

// A list of file names with wildcards, separated by ";". An empty list, or
// one of separators only, leaves the matcher without a pattern. False when
// the list cannot be compiled.
bool BuildFileList(TargetMatcher& matcher, const std::wstring& list);
// A list of folder paths relative to the root, separated by ";": wildcards,
// "\" between levels, a lone "*" level that may also stand for no level, or
// "re:" and a regular expression. Legacy mode anchors plain names at the end
// only, so they match at any depth.
bool BuildFolderList(TargetMatcher& matcher, const std::wstring& list, bool legacy);

// A file is matched by its name alone; a folder by its path relative to the
// root, without leading or trailing backslash (the root is "").
FilterOutcome MatchFile(const TargetMatcher& matcher, const std::wstring& path, ListMode mode);
FilterOutcome MatchFolder(const TargetMatcher& matcher, const std::wstring& relativeFolder, ListMode mode);

// Why a setting's filters could not be built; the worker raises these texts
// through its error policy.
struct FilterBuildResult {
    bool ok = true;
    std::wstring title;
    std::wstring body;
    std::wstring caption;
};

// The filters of one setting: its own lists and, with IgnoreSystemFiles, the
// program-wide system names, which are always excluded and asked first.
class TargetFilters {
public:
    FilterBuildResult Build(const FolderSetting& setting, const AppState& options);
    FilterOutcome FileOutcome(const std::wstring& relativePath) const;
    FilterOutcome FolderOutcome(const std::wstring& relativeFolder) const;
    // Narrows the run to these files (paths relative to the root, each
    // matched whole): every other file is not listed, and so is every folder
    // that holds none of them. Empty: no narrowing. Build clears it.
    void OnlyPaths(const std::vector<std::wstring>& paths);

private:
    bool ignoreSystem_ = false;
    bool narrowed_ = false;
    std::unordered_set<std::wstring> onlyFiles_, onlyFolders_;
    TargetModes modes_{ListMode::Exclude, ListMode::Exclude};
    TargetMatcher folders_, files_, systemFolders_, systemFiles_;
};

// True when the size limit of the setting skips a file of this size.
bool SkipsForSize(const FolderSetting& setting, std::uint64_t size);
// True when the date filter skips a master file with this last-write time
// (local time in seconds).
bool SkipsForDate(const FolderSetting& setting, std::int64_t localTimeSeconds);

}  // namespace tandrel
