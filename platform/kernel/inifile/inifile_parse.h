// Reading the structure of an initialisation (profile) file held in memory.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace twk {

// Names and values are compared without regard to ASCII case.
bool ProfileNamesEqual(std::string_view a, std::string_view b);
// The name with ASCII letters in lower case: equal for names ProfileNamesEqual matches.
std::string ProfileFold(std::string_view name);

// The text without leading and trailing blanks (space, tab, CR, VT, FF).
std::string_view ProfileTrim(std::string_view text);

// One line of the file. begin..end are its bytes without the line end; next is
// where the following line starts (end plus the length of "\n" or "\r\n", or end
// for a last line that has none).
struct ProfileLine {
    enum class Kind { Other, Section, Key };
    Kind kind = Kind::Other;
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t next = 0;
    std::string_view name;       // section or key name, trimmed
    std::string_view value;      // key value, trimmed, quotes kept
    std::size_t valueStart = 0;  // offset of the first byte after '=' and the blanks that follow it
};

// The lines of a profile file. Lines before the first section header belong to no
// section; a line inside a section is a key when it holds '=' and is not a
// comment (';'). The first section and, within it, the first key of a name win.
// The index refers into the text it was built from, which must outlive it.
class ProfileIndex {
public:
    explicit ProfileIndex(std::string_view text);

    const std::vector<ProfileLine> &Lines() const { return m_lines; }
    std::string_view Text() const { return m_text; }

    // The line end the file uses ("\r\n" when it has none yet).
    std::string_view LineEnd() const { return m_lineEnd; }

    // Index of the header line of the first section with this name, or npos.
    std::size_t FindSection(std::string_view section) const;
    // Index one past the last line of the section whose header is at headerIndex.
    std::size_t SectionEnd(std::size_t headerIndex) const;
    // The first key line of this name in the section, or npos.
    std::size_t FindKey(std::size_t headerIndex, std::string_view key) const;

    // Every non-empty section name once, in file order.
    std::vector<std::string_view> SectionNames() const;
    // Every non-empty key name of the section, in file order.
    std::vector<std::string_view> KeyNames(std::size_t headerIndex) const;

    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

private:
    std::string_view m_text;
    std::string_view m_lineEnd;
    std::vector<ProfileLine> m_lines;
};

// The value without one pair of matching surrounding double or single quotes.
std::string_view ProfileStripQuotes(std::string_view value);

} // namespace twk
