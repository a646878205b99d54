// Follows a UI log (TARNWICK_UI_LOG) while the program writes it, noting when each
// line appeared: the benchmark's clock for "graph running" and "first frame".
#pragma once
#include <chrono>
#include <string>
#include <vector>

namespace playbench {

class UiLogWatch {
public:
    using Clock = std::chrono::steady_clock;
    struct Line {
        Clock::time_point seen;
        std::string text;   // without the newline
    };

    explicit UiLogWatch(std::string path) : m_path(std::move(path)) {}
    // Reads what was appended since the last call; call it often (every few ms).
    void Poll();
    // When the first line starting with prefix was seen; false if not yet.
    bool Seen(const std::string &prefix, Clock::time_point *when) const;
    const std::vector<Line> &Lines() const { return m_lines; }

private:
    std::string m_path;
    long long m_offset = 0;
    std::string m_partial;
    std::vector<Line> m_lines;
};

} // namespace playbench
