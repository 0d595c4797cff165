#include "engine/TargetFilter.h"

#include <windows.h>

#include <algorithm>
#include <regex>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/Strings.h"
#include "resource_engine.h"

namespace tandrel {

namespace {

// The regex library's compiler and matcher recurse once per character of an
// alternative and once per alternative: a thread with a 1 MB stack ran out at
// four to eight times these sizes. Real lists stay far below them.
constexpr size_t kMaxEntries = 2000;
constexpr size_t kMaxEntryLength = 1024;

// Case folding of the whole basic plane, as the file system compares names;
// the library's own folding goes through the C runtime, which knows ASCII only.
const std::vector<wchar_t>& LowerTable() {
    static const std::vector<wchar_t> table = CaseMapTable(true);
    return table;
}

wchar_t Fold(wchar_t c) {
    return LowerTable()[c];
}

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = Fold(c);
    return text;
}

struct FoldingTraits : std::regex_traits<wchar_t> {
    wchar_t translate_nocase(wchar_t c) const { return Fold(c); }
};

// The flag below is libstdc++'s own (a reserved name, not the standard's):
// another library would refuse it or, worse, quietly backtrack again and let
// a long name list take exponential time. Say so before it is compiled.
#ifdef __GLIBCXX__
constexpr bool kPolynomialRegex = true;
#else
constexpr bool kPolynomialRegex = false;
#endif
static_assert(kPolynomialRegex, "the target filters need libstdc++'s polynomial regex mode (__polynomial)");

// The polynomial (non-backtracking) matcher of libstdc++: no pattern can take
// exponential time and the recursion does not grow with the length of a
// path. It rejects back-references, which name lists have no use for.
// Only a yes or no is wanted: without sub-matches the matcher does not copy
// a result per group, per state and per character (a list of 2000 entries
// took over half a second per test with them).
constexpr auto kRegexFlags = std::regex_constants::ECMAScript | std::regex_constants::icase |
                             std::regex_constants::__polynomial | std::regex_constants::nosubs;

std::wstring FolderPiecePattern(const std::wstring& piece, bool legacy) {
    if (piece.starts_with(L"re:")) return piece.substr(3);
    const bool hasBackslash = piece.find(L'\\') != std::wstring::npos;
    const bool hasWildcard = piece.find_first_of(L"*?") != std::wstring::npos;
    std::wstring pattern = ConvertWildcards(piece);
    if (hasBackslash) {
        // A level written as a lone "*" also stands for no level at all.
        if (pattern.starts_with(L"\\\\.*") || pattern.find(L"\\\\.*\\\\") != std::wstring::npos)
            ReplaceAll(pattern, L"\\\\.*", L"(\\\\.*)?");
        // "name\" means the folder itself.
        if (pattern.ends_with(L"\\\\")) pattern += L'?';
    }
    return (!legacy || hasWildcard ? L"^" : L"") + pattern + L"$";
}

FilterOutcome Decide(const TargetMatcher& matcher, std::wstring_view text, ListMode mode) {
    if (!matcher.HasPattern()) return FilterOutcome::NoDecision;
    const bool listed = matcher.Test(text);
    if (mode == ListMode::Include) return listed ? FilterOutcome::Target : FilterOutcome::NotListed;
    return listed ? FilterOutcome::Excluded : FilterOutcome::Target;
}

// The system list decides only when it excludes.
FilterOutcome SystemFirst(FilterOutcome system, FilterOutcome own) {
    return system == FilterOutcome::Excluded ? system : own;
}

FilterBuildResult Failure(unsigned titleId, unsigned bodyId) {
    return {false, LoadText(titleId), LoadText(bodyId), LoadText(IDS_TARGET_ERROR)};
}

}  // namespace

TargetModes ModesForTargetType(int targetType) {
    switch (targetType) {
        case 0: return {ListMode::Include, ListMode::Include};
        case 2: return {ListMode::Exclude, ListMode::Include};
        case 3: return {ListMode::Include, ListMode::Exclude};
        default: return {ListMode::Exclude, ListMode::Exclude};
    }
}

struct TargetMatcher::Compiled {
    std::basic_regex<wchar_t, FoldingTraits> regex;
    // Without an expression: whole names, folded; a set when there are many.
    bool names = false;
    std::vector<std::wstring> few;
    std::unordered_set<std::wstring> many;
};

TargetMatcher::TargetMatcher() = default;
TargetMatcher::~TargetMatcher() = default;
TargetMatcher::TargetMatcher(TargetMatcher&&) noexcept = default;
TargetMatcher& TargetMatcher::operator=(TargetMatcher&&) noexcept = default;

bool TargetMatcher::SetPattern(const std::wstring& pattern) {
    compiled_.reset();
    try {
        compiled_ = std::make_unique<Compiled>();
        compiled_->regex = std::basic_regex<wchar_t, FoldingTraits>(pattern, kRegexFlags);
    } catch (const std::exception&) {
        compiled_.reset();
        return false;
    }
    return true;
}

void TargetMatcher::SetNames(std::vector<std::wstring> names) {
    compiled_ = std::make_unique<Compiled>();
    compiled_->names = true;
    constexpr size_t kFew = 16;
    if (names.size() <= kFew) {
        compiled_->few = std::move(names);
    } else {
        compiled_->many.insert(std::make_move_iterator(names.begin()), std::make_move_iterator(names.end()));
    }
}

void TargetMatcher::Clear() {
    compiled_.reset();
}

bool TargetMatcher::HasPattern() const {
    return compiled_ != nullptr;
}

bool TargetMatcher::Test(std::wstring_view text) const {
    if (!compiled_) return false;
    if (compiled_->names) {
        if (!compiled_->many.empty()) return compiled_->many.count(Lower(std::wstring(text))) > 0;
        return std::any_of(compiled_->few.begin(), compiled_->few.end(), [&](const std::wstring& name) {
            if (name.size() != text.size()) return false;
            for (size_t i = 0; i < name.size(); ++i) {
                if (Fold(text[i]) != name[i]) return false;
            }
            return true;
        });
    }
    try {
        return std::regex_search(text.begin(), text.end(), compiled_->regex);
    } catch (const std::exception&) {
        return false;
    }
}

std::wstring ConvertWildcards(const std::wstring& text) {
    static constexpr std::wstring_view kEscaped = L"$()+.[\\]^{|}";
    std::wstring out;
    out.reserve(text.size() * 2);
    for (wchar_t c : text) {
        if (c == L'*') {
            out += L".*";
        } else if (c == L'?') {
            out += L'.';
        } else {
            if (kEscaped.find(c) != std::wstring_view::npos) out += L'\\';
            out += c;
        }
    }
    return out;
}

bool BuildFileList(TargetMatcher& matcher, const std::wstring& list) {
    matcher.Clear();
    std::vector<std::wstring> entries = SplitList(Lower(list));
    if (entries.empty()) return true;
    if (entries.size() > kMaxEntries) return false;
    // Plain names, as the system lists hold them, need no expression.
    if (std::none_of(entries.begin(), entries.end(),
                     [](const std::wstring& entry) { return entry.find_first_of(L"*?") != std::wstring::npos; })) {
        if (std::any_of(entries.begin(), entries.end(),
                        [](const std::wstring& entry) { return entry.size() > kMaxEntryLength; })) {
            return false;
        }
        matcher.SetNames(std::move(entries));
        return true;
    }
    std::wstring pattern = L"(";
    for (const std::wstring& entry : entries) {
        const std::wstring converted = ConvertWildcards(entry);
        if (converted.size() > kMaxEntryLength) return false;
        if (pattern.size() > 1) pattern += L'|';
        pattern += L'^' + converted;
    }
    return matcher.SetPattern(pattern + L")$");
}

bool BuildFolderList(TargetMatcher& matcher, const std::wstring& list, bool legacy) {
    matcher.Clear();
    const std::vector<std::wstring> pieces = SplitList(list);
    if (pieces.empty()) return true;
    if (pieces.size() > kMaxEntries) return false;
    std::wstring combined;
    TargetMatcher probe;
    for (const std::wstring& piece : pieces) {
        const std::wstring pattern = FolderPiecePattern(piece, legacy);
        // Each piece must stand alone, or an unbalanced "re:" piece could
        // pair its parentheses with a neighbour's.
        if (pattern.size() > kMaxEntryLength || !probe.SetPattern(pattern)) return false;
        if (!combined.empty()) combined += L'|';
        combined += L'(' + pattern + L')';
    }
    return matcher.SetPattern(combined);
}

FilterOutcome MatchFile(const TargetMatcher& matcher, const std::wstring& path, ListMode mode) {
    return Decide(matcher, std::wstring_view(path).substr(path.find_last_of(L"\\/") + 1), mode);
}

FilterOutcome MatchFolder(const TargetMatcher& matcher, const std::wstring& relativeFolder, ListMode mode) {
    const size_t first = relativeFolder.find_first_not_of(L'\\');
    if (first == std::wstring::npos) return Decide(matcher, L"", mode);
    const size_t last = relativeFolder.find_last_not_of(L'\\');
    return Decide(matcher, std::wstring_view(relativeFolder).substr(first, last + 1 - first), mode);
}

FilterBuildResult TargetFilters::Build(const FolderSetting& setting, const AppState& options) {
    ignoreSystem_ = setting.IgnoreSystemFiles;
    narrowed_ = false;
    onlyFiles_.clear();
    onlyFolders_.clear();
    modes_ = ModesForTargetType(setting.TargetType);
    systemFolders_.Clear();
    systemFiles_.Clear();
    // The system lists are built only when used, so a broken one cannot stop
    // a setting that ignores it.
    if (!BuildFolderList(folders_, setting.TargetDirectory, options.oldTargetSetting) ||
        (ignoreSystem_ && !BuildFolderList(systemFolders_, options.IgnoreSystemFolderNames, options.oldTargetSetting)))
        return Failure(IDS_TARGET_FOLDER_PARSE, IDS_TARGET_FOLDER_PARSE_BODY);
    if (!BuildFileList(files_, setting.TargetFile) ||
        (ignoreSystem_ && !BuildFileList(systemFiles_, options.IgnoreSystemFileNames)))
        return Failure(IDS_TARGET_FILE_PARSE, IDS_TARGET_FILE_PARSE_BODY);
    return {};
}

void TargetFilters::OnlyPaths(const std::vector<std::wstring>& paths) {
    narrowed_ = !paths.empty();
    onlyFiles_.clear();
    onlyFolders_.clear();
    for (const std::wstring& path : paths) {
        const size_t first = path.find_first_not_of(L'\\');
        if (first == std::wstring::npos) continue;
        const std::wstring folded = Lower(path.substr(first));
        onlyFiles_.insert(folded);
        // Each folder on the way, down from the root ("" is always walked).
        for (size_t cut = folded.find(L'\\'); cut != std::wstring::npos; cut = folded.find(L'\\', cut + 1)) {
            onlyFolders_.insert(folded.substr(0, cut));
        }
    }
}

FilterOutcome TargetFilters::FileOutcome(const std::wstring& relativePath) const {
    if (narrowed_ && !onlyFiles_.count(Lower(relativePath))) return FilterOutcome::NotListed;
    const FilterOutcome own = MatchFile(files_, relativePath, modes_.files);
    if (!ignoreSystem_) return own;
    return SystemFirst(MatchFile(systemFiles_, relativePath, ListMode::Exclude), own);
}

FilterOutcome TargetFilters::FolderOutcome(const std::wstring& relativeFolder) const {
    if (narrowed_) {
        const size_t first = relativeFolder.find_first_not_of(L'\\');
        const size_t last = relativeFolder.find_last_not_of(L'\\');
        if (first != std::wstring::npos &&
            !onlyFolders_.count(Lower(relativeFolder.substr(first, last + 1 - first)))) {
            return FilterOutcome::NotListed;
        }
    }
    const FilterOutcome own = MatchFolder(folders_, relativeFolder, modes_.folders);
    if (!ignoreSystem_) return own;
    return SystemFirst(MatchFolder(systemFolders_, relativeFolder, ListMode::Exclude), own);
}

bool SkipsForSize(const FolderSetting& setting, std::uint64_t size) {
    const TargetFileSize& limit = setting.TargetFileSize;
    if (!setting.SkipTargetFileSize || limit.number <= 0) return false;
    // A limit beyond 64 bits skips no file.
    const std::optional<std::uint64_t> bytes = limit.Bytes();
    return bytes && size >= *bytes;
}

bool SkipsForDate(const FolderSetting& setting, std::int64_t localTimeSeconds) {
    switch (setting.TargetDateType) {
        case 1: return localTimeSeconds < setting.TargetDate;
        case 2: return localTimeSeconds <= setting.LastCleanExec;
        default: return false;
    }
}

}  // namespace tandrel
