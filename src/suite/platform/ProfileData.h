// The parsed form of one profile (.ini) file, as the profile functions read it.
//
// Contract: built once from the whole text of a file and immutable afterwards,
// so one parsed file may be shared by any number of threads. Sections and keys
// are found without regard to (ASCII) case. Parsing rules:
//   - lines end at '\n'; blanks (space, tab, CR, VT, FF) around names and
//     values are dropped; a UTF-8 byte order mark at the start is skipped;
//   - a line whose first non-blank character is ';' or '#' is a comment;
//   - "[name]" opens a section (text after ']' is ignored); a section named
//     again later continues the first one;
//   - "key=value" inside a section is an entry; a value in matching double
//     quotes loses them; the first occurrence of a key wins;
//   - lines before the first section, lines without '=', lines with an empty
//     key and "[" lines without ']' are ignored;
//   - names and values end at a NUL byte, so binary input yields C strings.
// Failure modes: none; any byte sequence parses (garbage just yields no entries).
// Names and values are views into the text the object owns, which is why it
// can be neither copied nor moved: share it through a pointer.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace locmail {

class ProfileData {
public:
    explicit ProfileData(std::string text);
    ProfileData(const ProfileData&) = delete;
    ProfileData& operator=(const ProfileData&) = delete;

    // The value of KEY in SECTION, or null when either is missing.
    const std::string_view* Find(std::string_view section, std::string_view key) const;

    // Section names in file order, each once (as first spelled).
    std::vector<std::string_view> SectionNames() const;

    // Key names of SECTION in file order, each once; empty when the section is missing.
    std::vector<std::string_view> KeyNames(std::string_view section) const;

    // The line (from 1) where SECTION first opens, or where its KEY is given;
    // 0 when it is not there.
    std::size_t LineOf(std::string_view section, std::string_view key = {}) const;

private:
    struct NoCaseHash {
        std::size_t operator()(std::string_view s) const noexcept;
    };
    struct NoCaseEqual {
        bool operator()(std::string_view a, std::string_view b) const noexcept;
    };
    using NoCaseIndex = std::unordered_map<std::string_view, std::size_t, NoCaseHash, NoCaseEqual>;

    struct Entry {
        std::string_view key;
        std::string_view value;
        std::size_t line;
    };
    struct Section {
        std::string_view name;
        std::vector<Entry> entries;
        NoCaseIndex keys;
        std::size_t line;
    };

    void Parse();
    // CURRENT is the index of the open section, or npos before the first one.
    void ParseLine(std::string_view line, std::size_t lineNumber, std::size_t& current);
    std::size_t OpenSection(std::string_view name, std::size_t lineNumber);

    std::string text_;
    std::vector<Section> sections_;
    NoCaseIndex sectionIndex_;
};

} // namespace locmail
