#include "uilog.h"

#include <fstream>

namespace playbench {

void UiLogWatch::Poll()
{
    std::ifstream in(m_path, std::ios::binary);
    if (!in)
        return;
    in.seekg(0, std::ios::end);
    const long long size = in.tellg();
    if (size <= m_offset)
        return;
    std::string chunk(size_t(size - m_offset), '\0');
    in.seekg(m_offset);
    in.read(&chunk[0], std::streamsize(chunk.size()));
    m_offset += in.gcount();
    chunk.resize(size_t(in.gcount()));
    const Clock::time_point now = Clock::now();
    m_partial += chunk;
    size_t start = 0;
    for (size_t nl; (nl = m_partial.find('\n', start)) != std::string::npos; start = nl + 1)
        m_lines.push_back({now, m_partial.substr(start, nl - start)});
    m_partial.erase(0, start);
}

bool UiLogWatch::Seen(const std::string &prefix, Clock::time_point *when) const
{
    for (const Line &line : m_lines)
        if (line.text.compare(0, prefix.size(), prefix) == 0) {
            *when = line.seen;
            return true;
        }
    return false;
}

} // namespace playbench
