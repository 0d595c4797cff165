#include "settings/IniDocument.h"

#include <windows.h>


namespace tandrel {

namespace {

// The profile functions take ASCII white space and ^Z (an old end of file
// mark) for blanks, but no other space.
bool IsBlank(wchar_t c) {
    return (c >= 0x09 && c <= 0x0d) || c == 0x20 || c == 0x1a;
}

}  // namespace

std::wstring_view TrimBlanks(std::wstring_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

namespace {

std::wstring_view Trim(std::wstring_view text) {
    return TrimBlanks(text);
}

// The system keeps names and values as C strings: a NUL ends them.
std::wstring_view CutAtNul(std::wstring_view text) {
    return text.substr(0, text.find(L'\0'));
}

struct ParsedLine {
    enum Kind { Blank, Header, Key } kind = Blank;
    std::wstring_view name;
    std::optional<std::wstring_view> value;
    size_t valueStart = 0;  // in the raw line, after "=" and its blanks
};

ParsedLine Parse(std::wstring_view raw) {
    ParsedLine line;
    size_t begin = 0, end = raw.size();
    while (begin < end && IsBlank(raw[begin])) ++begin;
    while (end > begin && IsBlank(raw[end - 1])) --end;
    if (begin == end) return line;
    const std::wstring_view text = raw.substr(begin, end - begin);
    if (text[0] == L'[') {
        const size_t close = text.rfind(L']');
        if (close != std::wstring_view::npos) {
            line.kind = ParsedLine::Header;
            line.name = CutAtNul(TrimBlanks(text.substr(1, close - 1)));
            return line;
        }
    }
    line.kind = ParsedLine::Key;
    const size_t eq = text.find(L'=');
    if (eq == std::wstring_view::npos) {
        line.name = CutAtNul(text);
        return line;
    }
    size_t nameEnd = eq;
    while (nameEnd > 0 && IsBlank(text[nameEnd - 1])) --nameEnd;
    line.name = CutAtNul(text.substr(0, nameEnd));
    size_t valueBegin = eq + 1;
    while (valueBegin < text.size() && IsBlank(text[valueBegin])) ++valueBegin;
    line.value = CutAtNul(text.substr(valueBegin));
    line.valueStart = begin + eq + 1;
    return line;
}

}  // namespace

std::wstring FoldName(std::wstring_view name) {
    std::wstring folded(name);
    bool wide = false;
    for (wchar_t& c : folded) {
        if (c >= L'A' && c <= L'Z') {
            c = static_cast<wchar_t>(c + (L'a' - L'A'));
        } else if (c >= 0x80) {
            wide = true;
        }
    }
    if (wide) CharLowerBuffW(folded.data(), static_cast<DWORD>(folded.size()));
    return folded;
}

IniDocument::IniDocument(std::wstring_view text) {
    Section* current = &sections_.front();
    // A line ends with "\r\n", "\n" or a lone "\r", which stays part of it.
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find_first_of(L"\r\n", start);
        if (end == std::wstring_view::npos) {
            end = text.size();
        } else {
            end += (text[end] == L'\r' && end + 1 < text.size() && text[end + 1] == L'\n') ? 2 : 1;
        }
        const std::wstring_view raw = text.substr(start, end - start);
        start = end;
        const ParsedLine line = Parse(raw);
        if (line.kind == ParsedLine::Header) {
            Section& added = sections_.emplace_back();
            added.name = line.name;
            added.headed = true;
            current = &added;
        }
        current->lines.emplace_back(raw);
    }
    RebuildSectionIndex();
}

void IniDocument::RebuildSectionIndex() {
    sectionIndex_.clear();
    for (size_t i = 0; i < sections_.size(); ++i) {
        if (sections_[i].headed) sectionIndex_.emplace(FoldName(sections_[i].name), i);
    }
}

const IniDocument::Section* IniDocument::FindSection(std::wstring_view name) const {
    const auto found = sectionIndex_.find(FoldName(Trim(name)));
    return found == sectionIndex_.end() ? nullptr : &sections_[found->second];
}

IniDocument::Section* IniDocument::FindSection(std::wstring_view name) {
    return const_cast<Section*>(std::as_const(*this).FindSection(name));
}

void IniDocument::Index(const Section& section) const {
    if (section.indexed) return;
    section.keys.clear();
    for (size_t i = section.headed ? 1 : 0; i < section.lines.size(); ++i) {
        const ParsedLine line = Parse(section.lines[i]);
        if (line.kind == ParsedLine::Key) section.keys.emplace(FoldName(line.name), i);
    }
    section.indexed = true;
}

const std::wstring* IniDocument::FindLine(const Section& section, std::wstring_view key, size_t* at) const {
    Index(section);
    const auto found = section.keys.find(FoldName(Trim(key)));
    if (found == section.keys.end()) return nullptr;
    if (at) *at = found->second;
    return &section.lines[found->second];
}

std::optional<std::wstring> IniDocument::Find(std::wstring_view section, std::wstring_view key) const {
    const Section* s = FindSection(section);
    if (!s) return std::nullopt;
    const std::wstring* raw = FindLine(*s, key);
    if (!raw) return std::nullopt;
    const ParsedLine line = Parse(*raw);
    if (!line.value) return std::nullopt;
    return std::wstring(*line.value);
}

std::vector<std::pair<std::wstring, std::optional<std::wstring>>> IniDocument::Entries(std::wstring_view section) const {
    std::vector<std::pair<std::wstring, std::optional<std::wstring>>> entries;
    const Section* s = FindSection(section);
    if (!s) return entries;
    for (size_t i = 1; i < s->lines.size(); ++i) {
        const ParsedLine line = Parse(s->lines[i]);
        if (line.kind != ParsedLine::Key) continue;
        std::optional<std::wstring> value;
        if (line.value) value = std::wstring(*line.value);
        entries.emplace_back(std::wstring(line.name), std::move(value));
    }
    return entries;
}

void IniDocument::TerminateLastLine() {
    for (auto s = sections_.rbegin(); s != sections_.rend(); ++s) {
        if (s->lines.empty()) continue;
        const std::wstring& last = s->lines.back();
        if (!last.empty() && last.back() != L'\n' && last.back() != L'\r') s->lines.back() += L"\r\n";
        return;
    }
}

namespace {

// The line end a raw line carries.
std::wstring_view LineEnd(std::wstring_view raw) {
    size_t end = raw.size();
    while (end > 0 && (raw[end - 1] == L'\r' || raw[end - 1] == L'\n')) --end;
    return raw.substr(end);
}

}  // namespace

void IniDocument::Set(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
    TerminateLastLine();
    std::wstring line;
    line.reserve(key.size() + value.size() + 2);
    line.append(Trim(key)).append(1, L'=').append(value).append(L"\r\n");

    Section* s = FindSection(section);
    if (!s) {
        Section added;
        added.name = Trim(section);
        added.headed = true;
        added.lines = {L"[" + added.name + L"]\r\n", std::move(line)};
        sectionIndex_.emplace(FoldName(added.name), sections_.size());
        sections_.push_back(std::move(added));
        return;
    }
    size_t at = 0;
    if (const std::wstring* raw = FindLine(*s, key, &at)) {
        const ParsedLine old = Parse(*raw);
        std::wstring changed;
        if (old.value) {
            // Keep the written key and blanks before the value.
            changed = raw->substr(0, old.valueStart);
            changed.append(value);
            const std::wstring_view end = LineEnd(*raw);
            changed.append(end.empty() ? std::wstring_view(L"\r\n") : end);
        } else {
            changed = std::move(line);
        }
        s->lines[at] = std::move(changed);
        return;
    }
    // After the last entry of the section, before the blank lines that part
    // it from the next one.
    size_t insertAt = s->lines.size();
    while (insertAt > (s->headed ? 1u : 0u) && Parse(s->lines[insertAt - 1]).kind == ParsedLine::Blank) --insertAt;
    s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(line));
    for (auto& [name, index] : s->keys) {
        if (index >= insertAt) ++index;
    }
    s->keys.emplace(FoldName(Trim(key)), insertAt);
}

bool IniDocument::RemoveKey(std::wstring_view section, std::wstring_view key) {
    Section* s = FindSection(section);
    if (!s) return false;
    size_t at = 0;
    if (!FindLine(*s, key, &at)) return false;
    s->lines.erase(s->lines.begin() + static_cast<std::ptrdiff_t>(at));
    // A second key of the same name now shows.
    s->indexed = false;
    return true;
}

bool IniDocument::RemoveSection(std::wstring_view section) {
    const auto found = sectionIndex_.find(FoldName(Trim(section)));
    if (found == sectionIndex_.end()) return false;
    const size_t index = found->second;
    sections_.erase(sections_.begin() + static_cast<std::ptrdiff_t>(index));
    // Indexes after the removed section move down by one, and a later
    // section of the same name now shows.
    RebuildSectionIndex();
    return true;
}

std::wstring IniDocument::Text() const {
    size_t size = 0;
    for (const Section& s : sections_) {
        for (const std::wstring& line : s.lines) size += line.size();
    }
    std::wstring text;
    text.reserve(size);
    for (const Section& s : sections_) {
        for (const std::wstring& line : s.lines) text += line;
    }
    return text;
}

std::vector<std::wstring> IniDocument::SectionNames() const {
    std::vector<std::wstring> names;
    // A section without a name is none to the system.
    for (const Section& s : sections_) {
        if (s.headed && !s.name.empty()) names.push_back(s.name);
    }
    return names;
}

}  // namespace tandrel
