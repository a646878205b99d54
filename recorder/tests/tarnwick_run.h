// A fixture for runs of the whole program: a scratch directory with test clips,
// a registry of its own (the recording filter registered, updates off, recordings
// into <dir>/rec), the stream server, and the launcher run under a UI script.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <twgui/testing.h>

#include "asfclip.h"
#include "serverprocess.h"
#include "twtesting.h"

namespace tarnwick_run {

// A saved picture of the main window (frame, caption and menu bar included) and
// where its control bar lies: the 28 rows along the bottom of the client area.
struct Shot {
    twgui::test::WindowPixels image;
    int border = 0;        // frame width left and right
    int barTop = 0;        // first row of the bar
    int barHeight = 0;
    int clientWidth = 0;
};
// Loads the picture and finds the bar; false with a reason.
bool LoadShot(const std::string &path, Shot &shot, std::string &error);
// The parts of a 0x00RRGGBB pixel, and its grey level.
inline int Red(uint32_t c) { return int((c >> 16) & 0xFF); }
inline int Green(uint32_t c) { return int((c >> 8) & 0xFF); }
inline int Blue(uint32_t c) { return int(c & 0xFF); }
inline int Gray(uint32_t c) { return (Red(c) * 11 + Green(c) * 16 + Blue(c) * 5) / 32; }
// The client-area pixel (x, y) of the bar, or of the video when y < 0 (rows
// counted up from the bar's top).
uint32_t BarPixel(const Shot &shot, int x, int y);
// Whether a 24 x 24 button at client x shows the cell (cx, cy) of the button bitmap.
bool ButtonShows(const Shot &shot, int x, int cx, int cy);
// Dark (text) pixels in the bar's text row between client x0 and x1.
int DarkTextPixels(const Shot &shot, int x0, int x1);
// Distinct colours and the share of nearly black pixels in the video area, the
// `height` rows above the bar.
void VideoStats(const Shot &shot, int height, int *colours, double *blackShare);
// Whether the recording label is mixed into a 320 x 240 video at its lower right,
// half transparent: along its left and top edges the pixels inside are the
// video's just outside, half covered by red.
bool RecordingLabelShown(const Shot &shot, std::string &why);

class TarnwickRun : public ::testing::Test {
protected:
    void SetUp() override;
    // A failed test's scratch directory (clips, recordings, UI and server logs) is
    // copied under $TW_KEEP_FAILED when that is set, for a look afterwards.
    void TearDown() override;

    // Makes a clip in the scratch directory with clipmaker's arguments (the default
    // clip.asf: 8 s of 320x240 at 25 fps, a key frame a second, titled "Demo").
    void MakeClip(const std::string &name, const std::vector<std::string> &args);
    // The stream server over the scratch directory with extra arguments.
    std::unique_ptr<strsrvtest::StreamServerProcess> Serve(const std::vector<std::string> &args);
    // Sets a value under the program's key with the reg tool.
    void SetSetting(const std::string &name, const std::string &value);
    std::string Setting(const std::string &name);

    // Runs the launcher with the URL (none when empty) and the script; returns its
    // exit code, or the guard's: 124 when it ended the run with SIGTERM, 137 with
    // `guardSignal` KILL.
    int Run(const std::string &script, const std::string &url, int guardSeconds = 120,
            const std::string &guardSignal = "TERM");
    bool Logged(const std::string &line) const { return m_log.find(line + "\n") != std::string::npos; }
    // The message boxes of the run, their lines of the UI log.
    std::vector<std::string> Boxes() const;
    // A picture the script saved into the scratch directory.
    Shot Picture(const std::string &name);

    // The recordings in <dir>/rec, by name.
    std::vector<std::string> Recordings() const;
    // The file is <dir>/rec/<clip>_YYYYmmdd_HHMMSS.asf.
    bool NamedAfterClip(const std::string &path, const std::string &clip) const;
    // ffprobe and asfdemux read the file to the end; its first video packet is a
    // key frame; each stream's packets are a contiguous run of the served clip's
    // (which a live broadcast loops); it holds at least minSeconds.
    void ExpectRunOfServedStream(const std::string &path, double minSeconds,
                                 const std::string &clip = "clip.asf");

    twtest::TempDir m_dir;
    twtest::ScratchRegistry m_registry;
    twtest::ScopedEnv m_platform{"QT_QPA_PLATFORM", "offscreen"};
    std::string m_log;
};

// Where `run` (packet data) begins as a contiguous, looping run in `source`; -1
// when it is none.
long RunStart(const std::vector<wmftest::ClipPacket> &source, const std::vector<wmftest::ClipPacket> &run);

} // namespace tarnwick_run
