#include "inifile_parse.h"

#include <unordered_set>

namespace twk {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

char FoldCase(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

void Classify(std::string_view text, ProfileLine &line, bool inSection)
{
    std::string_view raw = text.substr(line.begin, line.end - line.begin);
    std::string_view trimmed = ProfileTrim(raw);
    if (trimmed.empty() || trimmed.front() == ';')
        return;
    if (trimmed.front() == '[') {
        std::size_t close = trimmed.rfind(']');
        if (close == std::string_view::npos)
            return;
        line.kind = ProfileLine::Kind::Section;
        line.name = ProfileTrim(trimmed.substr(1, close - 1));
        return;
    }
    std::size_t eq = raw.find('=');
    if (!inSection || eq == std::string_view::npos)
        return;
    line.kind = ProfileLine::Kind::Key;
    line.name = ProfileTrim(raw.substr(0, eq));
    std::size_t start = eq + 1;
    while (start < raw.size() && IsBlank(raw[start]))
        ++start;
    line.valueStart = line.begin + start;
    line.value = ProfileTrim(raw.substr(start));
}

} // namespace

bool ProfileNamesEqual(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    return true;
}

std::string ProfileFold(std::string_view name)
{
    std::string folded(name);
    for (char &c : folded)
        c = FoldCase(c);
    return folded;
}

std::string_view ProfileTrim(std::string_view text)
{
    std::size_t first = 0;
    while (first < text.size() && IsBlank(text[first]))
        ++first;
    std::size_t last = text.size();
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

std::string_view ProfileStripQuotes(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

ProfileIndex::ProfileIndex(std::string_view text) : m_text(text), m_lineEnd("\r\n")
{
    std::size_t firstNewline = text.find('\n');
    if (firstNewline != std::string_view::npos && (firstNewline == 0 || text[firstNewline - 1] != '\r'))
        m_lineEnd = "\n";

    bool inSection = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        ProfileLine line;
        line.begin = pos;
        std::size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos) {
            line.end = line.next = text.size();
        } else {
            line.next = nl + 1;
            line.end = (nl > pos && text[nl - 1] == '\r') ? nl - 1 : nl;
        }
        Classify(text, line, inSection);
        if (line.kind == ProfileLine::Kind::Section)
            inSection = true;
        m_lines.push_back(line);
        pos = line.next;
    }
}

std::size_t ProfileIndex::FindSection(std::string_view section) const
{
    for (std::size_t i = 0; i < m_lines.size(); ++i)
        if (m_lines[i].kind == ProfileLine::Kind::Section && ProfileNamesEqual(m_lines[i].name, section))
            return i;
    return npos;
}

std::size_t ProfileIndex::SectionEnd(std::size_t headerIndex) const
{
    std::size_t i = headerIndex + 1;
    while (i < m_lines.size() && m_lines[i].kind != ProfileLine::Kind::Section)
        ++i;
    return i;
}

std::size_t ProfileIndex::FindKey(std::size_t headerIndex, std::string_view key) const
{
    std::size_t end = SectionEnd(headerIndex);
    for (std::size_t i = headerIndex + 1; i < end; ++i)
        if (m_lines[i].kind == ProfileLine::Kind::Key && ProfileNamesEqual(m_lines[i].name, key))
            return i;
    return npos;
}

std::vector<std::string_view> ProfileIndex::SectionNames() const
{
    std::vector<std::string_view> names;
    std::unordered_set<std::string> seen;
    for (const ProfileLine &line : m_lines) {
        if (line.kind != ProfileLine::Kind::Section || line.name.empty())
            continue;
        if (seen.insert(ProfileFold(line.name)).second)
            names.push_back(line.name);
    }
    return names;
}

std::vector<std::string_view> ProfileIndex::KeyNames(std::size_t headerIndex) const
{
    std::vector<std::string_view> names;
    std::size_t end = SectionEnd(headerIndex);
    for (std::size_t i = headerIndex + 1; i < end; ++i)
        if (m_lines[i].kind == ProfileLine::Kind::Key && !m_lines[i].name.empty())
            names.push_back(m_lines[i].name);
    return names;
}

} // namespace twk
