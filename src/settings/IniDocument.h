#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tandrel {

// A settings file as text, read by the rules of the system's profile
// functions and changed in place: every line the program does not touch
// (comments, blank lines, keys of other versions, line ends) is written back
// as it was read.
//
// Reading rules: a line ends at "\r\n", "\n" or a lone "\r"; blanks (and ^Z)
// around a line are ignored; a line starting with "[" that holds a "]"
// starts a section named by the text up to the last "]", without blanks
// round it; any other line is a key, with the value after the first "="
// (blanks round key and value dropped) or with no value at all. A NUL ends
// a name or a value. Names compare without regard to case; of sections or
// keys of one name the first wins; a key without "=" wins too, and reads as
// missing; a section without a name is not listed.
class IniDocument {
public:
    IniDocument() = default;
    explicit IniDocument(std::wstring_view text);

    // The value as stored (blanks trimmed, quotes kept); none when the key is
    // missing or its line has no "=".
    std::optional<std::wstring> Find(std::wstring_view section, std::wstring_view key) const;
    // The keys of a section in file order with their values (none for lines
    // without "="); empty when the section is missing.
    std::vector<std::pair<std::wstring, std::optional<std::wstring>>> Entries(std::wstring_view section) const;

    // Changes the first key of that name, or adds it after the last entry of
    // the section, or adds the section at the end.
    void Set(std::wstring_view section, std::wstring_view key, std::wstring_view value);
    // Both report whether anything was there.
    bool RemoveKey(std::wstring_view section, std::wstring_view key);
    bool RemoveSection(std::wstring_view section);

    std::wstring Text() const;
    // Section names in file order (duplicates included).
    std::vector<std::wstring> SectionNames() const;

private:
    struct Section {
        std::wstring name;  // as written between the brackets
        bool headed = false;  // false only for the lines before the first section
        std::vector<std::wstring> lines;  // the header line first when headed
        // Folded key -> line, first wins; built when first needed.
        mutable std::unordered_map<std::wstring, size_t> keys;
        mutable bool indexed = false;
    };

    const Section* FindSection(std::wstring_view name) const;
    Section* FindSection(std::wstring_view name);
    const std::wstring* FindLine(const Section& section, std::wstring_view key, size_t* at = nullptr) const;
    void Index(const Section& section) const;
    void RebuildSectionIndex();
    // Makes sure the text ends with a line end before lines are added.
    void TerminateLastLine();

    std::vector<Section> sections_{Section{}};
    std::unordered_map<std::wstring, size_t> sectionIndex_;  // folded name -> first section
};

// Names as the profile functions compare them.
std::wstring FoldName(std::wstring_view name);
// Without the blanks the profile functions drop round names and values.
std::wstring_view TrimBlanks(std::wstring_view text);

}  // namespace tandrel
