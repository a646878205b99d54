#include "asx.h"

#include <algorithm>
#include <cctype>

namespace twwmf {
namespace {

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(tolower(c)); });
    return s;
}

size_t SkipLead(const std::string &text)
{
    size_t pos = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        pos = 3;
    while (pos < text.size() && isspace(static_cast<unsigned char>(text[pos])))
        ++pos;
    return pos;
}

std::string Trim(const std::string &s)
{
    size_t a = 0, b = s.size();
    while (a < b && isspace(static_cast<unsigned char>(s[a])))
        ++a;
    while (b > a && isspace(static_cast<unsigned char>(s[b - 1])))
        --b;
    return s.substr(a, b - a);
}

std::string DecodeEntities(const std::string &s)
{
    static const std::pair<const char *, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    for (size_t i = 0; i < s.size();) {
        bool done = false;
        if (s[i] == '&') {
            for (const auto &e : kEntities) {
                size_t n = std::char_traits<char>::length(e.first);
                if (Lower(s.substr(i, n)) == e.first) {
                    out += e.second;
                    i += n;
                    done = true;
                    break;
                }
            }
        }
        if (!done)
            out += s[i++];
    }
    return out;
}

// The value of attribute `name` inside a tag's text (after the tag name).
bool Attribute(const std::string &tag, const std::string &name, std::string &value)
{
    std::string lower = Lower(tag);
    for (size_t pos = 0; (pos = lower.find(name, pos)) != std::string::npos; pos += name.size()) {
        if (pos > 0 && !isspace(static_cast<unsigned char>(lower[pos - 1])))
            continue;
        size_t i = pos + name.size();
        while (i < tag.size() && isspace(static_cast<unsigned char>(tag[i])))
            ++i;
        if (i >= tag.size() || tag[i] != '=')
            continue;
        ++i;
        while (i < tag.size() && isspace(static_cast<unsigned char>(tag[i])))
            ++i;
        if (i >= tag.size())
            return false;
        size_t end;
        if (tag[i] == '"' || tag[i] == '\'') {
            end = tag.find(tag[i], i + 1);
            if (end == std::string::npos)
                return false;
            value = tag.substr(i + 1, end - i - 1);
        } else {
            end = i;
            while (end < tag.size() && !isspace(static_cast<unsigned char>(tag[end])) && tag[end] != '/')
                ++end;
            value = tag.substr(i, end - i);
        }
        value = Trim(DecodeEntities(value));
        return true;
    }
    return false;
}

bool ParseReferenceForm(const std::string &text, AsxPlaylist &out)
{
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        std::string lower = Lower(line);
        size_t eq = line.find('=');
        if (lower.compare(0, 3, "ref") == 0 && eq != std::string::npos) {
            std::string value = Trim(line.substr(eq + 1));
            if (!value.empty())
                out.refs.push_back(value);
        }
    }
    return true;
}

} // namespace

bool LooksLikeAsx(const std::string &text)
{
    std::string head = Lower(text.substr(SkipLead(text), 11));
    return head.compare(0, 4, "<asx") == 0 || head == "[reference]";
}

bool HasAsxExtension(const std::string &url)
{
    std::string path = url.substr(0, url.find_first_of("?#"));
    std::string ext = Lower(path.substr(path.size() >= 4 ? path.size() - 4 : 0));
    return ext == ".asx" || ext == ".wax" || ext == ".wvx";
}

bool ParseAsx(const std::string &text, AsxPlaylist &out)
{
    out = AsxPlaylist();
    if (!LooksLikeAsx(text))
        return false;
    size_t start = SkipLead(text);
    if (text[start] == '[')
        return ParseReferenceForm(text, out);
    for (size_t pos = start; (pos = text.find('<', pos)) != std::string::npos;) {
        if (text.compare(pos, 4, "<!--") == 0) {
            size_t end = text.find("-->", pos + 4);
            if (end == std::string::npos)
                break;
            pos = end + 3;
            continue;
        }
        size_t end = text.find('>', pos);
        if (end == std::string::npos)
            break;
        std::string tag = text.substr(pos + 1, end - pos - 1);
        size_t nameEnd = 0;
        while (nameEnd < tag.size() && !isspace(static_cast<unsigned char>(tag[nameEnd])) && tag[nameEnd] != '/')
            ++nameEnd;
        std::string name = Lower(tag.substr(0, nameEnd));
        std::string value;
        if (name == "ref" && Attribute(tag.substr(nameEnd), "href", value) && !value.empty()) {
            out.refs.push_back(value);
        } else if (name == "title" && out.title.empty()) {
            size_t close = Lower(text).find("</title", end);
            if (close != std::string::npos)
                out.title = Trim(DecodeEntities(text.substr(end + 1, close - end - 1)));
        }
        pos = end + 1;
    }
    return true;
}

} // namespace twwmf
