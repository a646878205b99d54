#include "inifile_edit.h"

#include "inifile_parse.h"

namespace twk {

namespace {

using Kind = ProfileLine::Kind;

bool HasLineEnd(const ProfileLine &line)
{
    return line.next > line.end;
}

bool IsBlankLine(std::string_view text, const ProfileLine &line)
{
    return ProfileTrim(text.substr(line.begin, line.end - line.begin)).empty();
}

std::string KeyLine(std::string_view key, std::string_view value, std::string_view eol)
{
    std::string line;
    line.reserve(key.size() + value.size() + eol.size() + 1);
    line.append(key).append("=").append(value).append(eol);
    return line;
}

} // namespace

std::string ProfileSetValue(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value)
{
    ProfileIndex index(text);
    const auto &lines = index.Lines();
    std::string_view eol = index.LineEnd();
    std::string out;
    out.reserve(text.size() + section.size() + key.size() + value.size() + 8);

    std::size_t header = index.FindSection(section);
    if (header == ProfileIndex::npos) {
        out.append(text);
        if (!out.empty() && out.back() != '\n')
            out.append(eol);
        out.append("[").append(section).append("]").append(eol);
        out.append(KeyLine(key, value, eol));
        return out;
    }

    std::size_t keyLine = index.FindKey(header, key);
    if (keyLine != ProfileIndex::npos) {
        const ProfileLine &line = lines[keyLine];
        out.append(text.substr(0, line.valueStart));
        out.append(value);
        out.append(text.substr(line.end));
        return out;
    }

    // After the last non-blank line of the section, so blank lines that separate
    // it from the next section stay where they are.
    std::size_t last = header;
    std::size_t end = index.SectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i)
        if (!IsBlankLine(text, lines[i]))
            last = i;
    const ProfileLine &after = lines[last];
    out.append(text.substr(0, after.next));
    if (!HasLineEnd(after))
        out.append(eol);
    out.append(KeyLine(key, value, eol));
    out.append(text.substr(after.next));
    return out;
}

std::string ProfileDeleteKey(std::string_view text, std::string_view section, std::string_view key)
{
    ProfileIndex index(text);
    std::size_t header = index.FindSection(section);
    if (header == ProfileIndex::npos)
        return std::string(text);
    const auto &lines = index.Lines();
    std::size_t end = index.SectionEnd(header);
    std::string out;
    out.reserve(text.size());
    std::size_t copied = 0;
    for (std::size_t i = header + 1; i < end; ++i) {
        const ProfileLine &line = lines[i];
        if (line.kind != Kind::Key || !ProfileNamesEqual(line.name, key))
            continue;
        out.append(text.substr(copied, line.begin - copied));
        copied = line.next;
    }
    out.append(text.substr(copied));
    return out;
}

std::string ProfileDeleteSection(std::string_view text, std::string_view section)
{
    ProfileIndex index(text);
    const auto &lines = index.Lines();
    std::string out;
    out.reserve(text.size());
    std::size_t copied = 0;
    std::size_t i = 0;
    while (i < lines.size()) {
        if (lines[i].kind != Kind::Section || !ProfileNamesEqual(lines[i].name, section)) {
            ++i;
            continue;
        }
        std::size_t end = index.SectionEnd(i);
        out.append(text.substr(copied, lines[i].begin - copied));
        copied = end < lines.size() ? lines[end].begin : text.size();
        i = end;
    }
    out.append(text.substr(copied));
    return out;
}

} // namespace twk
