// The per-user install as a user meets it: `cmake --install` into a scratch home,
// the desktop's own tools on the result, the installed program started through
// xdg-open and the tarnwick command, an update from the update server, and the
// uninstall. Every test has a home, XDG directories and registry of its own.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "asfclip.h"
#include "serverprocess.h"
#include "twtesting.h"

namespace fs = std::filesystem;

namespace {

const char kSettingsKey[] = "HKCU\\SOFTWARE\\Orvanne\\Tarnwick";
const char kServerKey[] = "HKCR\\CLSID\\{14B7E77B-BEBB-496F-99C3-1BF8ABC0D6BE}";
const char kFilterKey[] =
    "HKCR\\CLSID\\{083863F1-70DE-11d0-BD40-00A0C911CE86}\\Instance\\{14B7E77B-BEBB-496F-99C3-1BF8ABC0D6BE}";
const int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
const char *const kMimeTypes[] = {"x-scheme-handler/mms", "x-scheme-handler/mmsh", "x-scheme-handler/mmst",
                                  "video/x-ms-asf",       "video/x-ms-wmv",        "audio/x-ms-wma",
                                  "video/x-ms-asx"};

// A program of the system's, by its name on PATH (the test support runs paths only).
std::string Tool(const std::string &name)
{
    const char *path = getenv("PATH");
    std::istringstream dirs(path ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0)
            return dir + "/" + name;
    return "/usr/bin/" + name;
}

bool Contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// Regular files under a directory, as paths relative to it.
std::set<std::string> FilesUnder(const std::string &dir)
{
    std::set<std::string> files;
    std::error_code ec;
    if (!fs::exists(dir, ec))
        return files;
    for (auto it = fs::recursive_directory_iterator(dir, ec); it != fs::recursive_directory_iterator(); ++it)
        if (it->is_regular_file() || it->is_symlink())
            files.insert(fs::relative(it->path(), dir).string());
    return files;
}

std::string Join(const std::set<std::string> &items)
{
    std::string text;
    for (const auto &item : items)
        text += "  " + item + "\n";
    return text;
}

// Width and height from a PNG file's IHDR chunk, or 0 x 0.
std::pair<int, int> PngSize(const std::string &path)
{
    std::string bytes = twtest::ReadFile(path);
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || bytes.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    auto be32 = [&](size_t at) {
        return (int(uint8_t(bytes[at])) << 24) | (int(uint8_t(bytes[at + 1])) << 16) |
               (int(uint8_t(bytes[at + 2])) << 8) | int(uint8_t(bytes[at + 3]));
    };
    return {be32(16), be32(20)};
}

// The value of a key in a .desktop or .ini text, or "<absent>".
std::string KeyOf(const std::string &text, const std::string &key)
{
    for (const std::string &line : Lines(text))
        if (line.compare(0, key.size() + 1, key + "=") == 0)
            return line.substr(key.size() + 1);
    return "<absent>";
}

// One section's keys of files.ini, by entry number.
std::map<int, std::map<std::string, std::string>> ManifestEntries(const std::string &text)
{
    std::map<int, std::map<std::string, std::string>> entries;
    int current = 0;
    for (const std::string &line : Lines(text)) {
        if (line.compare(0, 5, "[File") == 0) {
            current = atoi(line.c_str() + 5);
        } else if (current > 0 && line.find('=') != std::string::npos) {
            size_t eq = line.find('=');
            entries[current][line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    return entries;
}

class InstallTest : public ::testing::Test {
protected:
    InstallTest()
        : m_home(m_root.file("home")), m_prefix(m_home + "/.local"), m_app(m_prefix + "/lib/tarnwick"),
          m_homeEnv("HOME", m_home.c_str()), m_configEnv("XDG_CONFIG_HOME", (m_home + "/.config").c_str()),
          m_dataEnv("XDG_DATA_HOME", (m_home + "/.local/share").c_str()),
          m_cacheEnv("XDG_CACHE_HOME", (m_home + "/.cache").c_str()),
          m_registryEnv("TARNWICK_REGISTRY", nullptr), m_desktopEnv("XDG_CURRENT_DESKTOP", nullptr),
          m_sessionEnv("DESKTOP_SESSION", nullptr), m_kdeEnv("KDE_FULL_SESSION", nullptr),
          m_browserEnv("BROWSER", nullptr), m_qpaEnv("QT_QPA_PLATFORM", "offscreen"),
          m_scriptEnv("TARNWICK_UI_SCRIPT", m_root.file("script.txt").c_str()),
          m_logEnv("TARNWICK_UI_LOG", m_root.file("ui.log").c_str()), m_noUpdateEnv("TARNWICK_UPDATE_SERVER", nullptr),
          m_timeoutEnv("TARNWICK_UPDATE_TIMEOUT", "10000")
    {
        fs::create_directories(m_home);
        twtest::WriteFile(m_root.file("script.txt"), "");
    }

    // cmake --install of the build into the prefix; the installing user is the
    // scratch home's.
    void Install(const std::string &prefix = "")
    {
        const std::string target = prefix.empty() ? m_prefix : prefix;
        twtest::ProcessResult r = twtest::RunProcess({TW_CMAKE, "--install", TW_BUILD_DIR, "--prefix", target});
        ASSERT_EQ(0, r.exitCode) << r.output;
        m_installOutput = r.output;
    }

    // The build's reg tool on the scratch home's registry.
    twtest::ProcessResult Reg(std::vector<std::string> args) const
    {
        args.insert(args.begin(), twtest::BinPath("reg"));
        return twtest::RunProcess(args);
    }
    // The data of a value as `reg query` shows it, or "<absent>".
    std::string RegValue(const std::string &key, const std::string &name) const
    {
        std::vector<std::string> args = {"query", key};
        if (name.empty()) {
            args.push_back("/ve");
        } else {
            args.push_back("/v");
            args.push_back(name);
        }
        twtest::ProcessResult r = Reg(args);
        if (r.exitCode != 0)
            return "<absent>";
        for (const std::string &line : Lines(r.output)) {
            if (line.compare(0, 4, "    ") != 0)
                continue;
            // "    <name>    <type>    <data>"
            size_t type = line.find("    ", 4);
            size_t data = type == std::string::npos ? type : line.find("    ", type + 4);
            return data == std::string::npos ? "" : line.substr(data + 4);
        }
        return "<absent>";
    }
    void SetSetting(const std::string &name, const std::string &value)
    {
        ASSERT_EQ(0, Reg({"add", kSettingsKey, "/v", name, "/t", "REG_SZ", "/d", value, "/f"}).exitCode);
    }
    std::string RegistryPath() const { return m_home + "/.config/tarnwick/registry.db"; }

    std::string App(const std::string &name) const { return m_app + "/" + name; }
    std::string Command() const { return m_prefix + "/bin/tarnwick"; }
    std::string UiLog() const { return twtest::ReadFile(m_root.file("ui.log")); }
    void Script(const std::string &text) { twtest::WriteFile(m_root.file("script.txt"), text); }

    // Runs a program to its end, or ends it after a minute so that a hang fails the
    // test instead of holding the run.
    twtest::ProcessResult RunBounded(std::vector<std::string> args, const std::string &dir = "")
    {
        args.insert(args.begin(), {"/usr/bin/timeout", "--kill-after=5", "60"});
        twtest::ProcessResult r = twtest::RunProcess(args, dir);
        m_output += r.output;
        return r;
    }
    std::string Diagnostics() const
    {
        return "output:\n" + m_output + "\nui log:\n" + UiLog() + "\ninstall:\n" + m_installOutput;
    }

    // The update server publishing a directory, on a free port; TARNWICK_UPDATE_SERVER names it.
    void ServeUpdates(const std::string &release, const std::vector<std::string> &extra = {})
    {
        const std::string portFile = m_root.file("update-port");
        std::vector<std::string> argv = {twtest::BinPath("update-server"), "--root", release, "--listen",
                                         "127.0.0.1:0", "--port-file", portFile};
        argv.insert(argv.end(), extra.begin(), extra.end());
        m_updateServer = std::make_unique<twtest::BackgroundProcess>(argv, m_root.file("update-server.log"));
        ASSERT_TRUE(twtest::WaitForFile(portFile, 10000)) << UpdateLog();
        m_updateAddress = "127.0.0.1:" + std::to_string(std::stoi(twtest::ReadFile(portFile)));
        m_updateEnv = std::make_unique<twtest::ScopedEnv>("TARNWICK_UPDATE_SERVER", m_updateAddress.c_str());
    }
    std::string UpdateLog() const { return twtest::ReadFile(m_root.file("update-server.log")); }

    // A clip with the title "Install test" served by the stream server.
    void ServeClip()
    {
        const std::string streams = m_root.file("streams");
        fs::create_directories(streams);
        ASSERT_EQ("", wmftest::MakeClip(streams + "/clip.asf", {"--seconds", "20", "--size", "160x120", "--fps",
                                                                  "25", "--gop", "25", "--title", "Install test"}));
        m_streams = std::make_unique<strsrvtest::StreamServerProcess>(streams, std::vector<std::string>{});
        ASSERT_TRUE(m_streams->Ok()) << m_streams->Log();
    }

    twtest::TempDir m_root;
    std::string m_home, m_prefix, m_app;
    twtest::ScopedEnv m_homeEnv, m_configEnv, m_dataEnv, m_cacheEnv, m_registryEnv, m_desktopEnv, m_sessionEnv,
        m_kdeEnv, m_browserEnv, m_qpaEnv, m_scriptEnv, m_logEnv, m_noUpdateEnv, m_timeoutEnv;
    std::unique_ptr<twtest::ScopedEnv> m_updateEnv;
    std::unique_ptr<twtest::BackgroundProcess> m_updateServer;
    std::unique_ptr<strsrvtest::StreamServerProcess> m_streams;
    std::string m_updateAddress;
    std::string m_installOutput;
    std::string m_output;
};

// ---- The install ---------------------------------------------------------------

TEST_F(InstallTest, TheProgramLivesInItsOwnDirectoryWithItsManifestAndRegistration)
{
    Install();
    // Installed again over itself, with a user's file in the program's directory:
    // the manifest lists the program's files alone.
    twtest::WriteFile(App("stray.asf"), "a recording");
    Install();
    ASSERT_EQ("a recording", twtest::ReadFile(App("stray.asf")));
    fs::remove(App("stray.asf"));
    const std::set<std::string> expected = {"Tarnwick",      "TarnwickDll.dll", "Kestrin.ax",     "libtwkernel.so",
                                            "libtwcom.so",   "libtwgui.so",     "libtwdshow.so",  "libtwwmf.so",
                                            "reg",           "regsvr32",        "files.ini"};
    EXPECT_EQ(expected, FilesUnder(m_app));
    EXPECT_EQ(0, access(Command().c_str(), X_OK));

    // Every binary finds the platform libraries beside itself, and nothing in the build.
    for (const std::string &name : expected) {
        if (name == "files.ini")
            continue;
        twtest::ProcessResult r = twtest::RunProcess({Tool("readelf"), "-d", App(name)});
        ASSERT_EQ(0, r.exitCode) << r.output;
        EXPECT_TRUE(Contains(r.output, "(RUNPATH)            Library runpath: [$ORIGIN]\n")) << name << r.output;
        EXPECT_FALSE(Contains(r.output, TW_BUILD_DIR)) << name;
        for (const std::string &line : Lines(r.output)) {
            size_t at = line.find("Shared library: [libtw");
            if (at != std::string::npos) {
                std::string lib = line.substr(at + 17, line.size() - at - 18);
                EXPECT_TRUE(twtest::FileExists(App(lib))) << name << " needs " << lib;
            }
        }
    }

    // files.ini is the release's manifest: the launcher first, every installed file
    // with its version, size and digest as installed.
    const std::string manifest = twtest::ReadFile(App("files.ini"));
    EXPECT_EQ(";" TW_VERSION, Lines(manifest).at(0));
    auto entries = ManifestEntries(manifest);
    ASSERT_EQ(expected.size() - 1, entries.size()) << manifest;
    EXPECT_EQ("Tarnwick", entries[1]["Name"]);
    EXPECT_EQ(TW_VERSION, entries[1]["Version"]);
    std::set<std::string> listed;
    for (auto &[number, keys] : entries) {
        const std::string bytes = twtest::ReadFile(App(keys["Name"]));
        EXPECT_EQ(std::to_string(bytes.size()), keys["Size"]) << keys["Name"];
        EXPECT_EQ(twtest::Md5Hex(bytes), keys["MD5"]) << keys["Name"];
        listed.insert(keys["Name"]);
    }
    std::set<std::string> programFiles = expected;
    programFiles.erase("files.ini");
    EXPECT_EQ(programFiles, listed);

    // The filter is registered in the installing user's registry, where the
    // installed program looks.
    EXPECT_TRUE(twtest::FileExists(RegistryPath()));
    EXPECT_EQ(App("Kestrin.ax"), RegValue(std::string(kServerKey) + "\\InprocServer32", ""));
    EXPECT_EQ(0, Reg({"query", kFilterKey}).exitCode);
}

TEST_F(InstallTest, TheDesktopEntryIsValidAndOpensStreamLinks)
{
    Install();
    const std::string entry = m_prefix + "/share/applications/tarnwick.desktop";
    twtest::ProcessResult validate = twtest::RunProcess({Tool("desktop-file-validate"), entry});
    EXPECT_EQ(0, validate.exitCode) << validate.output;
    EXPECT_EQ("", validate.output);

    const std::string text = twtest::ReadFile(entry);
    EXPECT_EQ(Command() + " %u", KeyOf(text, "Exec"));
    EXPECT_EQ("tarnwick", KeyOf(text, "Icon"));
    const std::string types = ";" + KeyOf(text, "MimeType");
    for (const char *type : kMimeTypes)
        EXPECT_TRUE(Contains(types, std::string(";") + type + ";")) << type;

    for (int size : kIconSizes) {
        const std::string icon =
            m_prefix + "/share/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps/tarnwick.png";
        EXPECT_EQ(std::make_pair(size, size), PngSize(icon)) << icon;
    }

    // The desktop's lookup finds the program for the stream schemes and types.
    for (const char *type : kMimeTypes) {
        twtest::ProcessResult query = twtest::RunProcess({Tool("xdg-mime"), "query", "default", type});
        EXPECT_EQ("tarnwick.desktop\n", query.output) << type;
    }
    // .asx playlists are known by their extension, under the system's name or ours.
    twtest::ProcessResult asx = twtest::RunProcess({Tool("sh"), "-c", "grep -h 'video/x-ms-asx' /usr/share/mime/aliases "
                                                                "/usr/share/mime/types \"$0\"/aliases \"$0\"/types",
                                                    m_prefix + "/share/mime"});
    EXPECT_FALSE(asx.output.empty()) << "video/x-ms-asx is in no MIME database";
}

TEST_F(InstallTest, TypesTheSystemLacksAreDeclaredWithTheirGlobs)
{
    // A system without a MIME database of its own.
    const std::string empty = m_root.file("no-data");
    fs::create_directories(empty);
    {
        twtest::ScopedEnv dataDirs("XDG_DATA_DIRS", empty.c_str());
        Install();
    }
    const std::string mime = m_prefix + "/share/mime";
    const std::string package = twtest::ReadFile(mime + "/packages/tarnwick.xml");
    for (const char *type : {"application/vnd.ms-asf", "video/x-ms-wmv", "audio/x-ms-wma", "audio/x-ms-asx"})
        EXPECT_TRUE(Contains(package, std::string("<mime-type type=\"") + type + "\">")) << package;
    // The database built from it knows the playlists by extension and our names.
    const std::string globs = twtest::ReadFile(mime + "/globs2");
    for (const char *glob : {"audio/x-ms-asx:*.asx", "audio/x-ms-asx:*.wax", "audio/x-ms-asx:*.wvx",
                             "application/vnd.ms-asf:*.asf", "video/x-ms-wmv:*.wmv", "audio/x-ms-wma:*.wma"})
        EXPECT_TRUE(Contains(globs, glob)) << glob << "\n" << globs;
    const std::string aliases = twtest::ReadFile(mime + "/aliases");
    EXPECT_TRUE(Contains(aliases, "video/x-ms-asx audio/x-ms-asx\n")) << aliases;
    EXPECT_TRUE(Contains(aliases, "video/x-ms-asf application/vnd.ms-asf\n")) << aliases;
}

TEST_F(InstallTest, APrefixWithSpacesIsQuotedInTheDesktopEntry)
{
    const std::string prefix = m_root.file("My Programs $HOME");
    Install(prefix);
    const std::string entry = prefix + "/share/applications/tarnwick.desktop";
    twtest::ProcessResult validate = twtest::RunProcess({Tool("desktop-file-validate"), entry});
    EXPECT_EQ(0, validate.exitCode) << validate.output;
    EXPECT_EQ("", validate.output);
    // The value's escapes: \\ for a backslash; inside the quotes, \$ for a dollar.
    EXPECT_EQ("\"" + m_root.path() + "/My Programs \\\\$HOME/bin/tarnwick\" %u",
              KeyOf(twtest::ReadFile(entry), "Exec"));
    EXPECT_EQ(prefix + "/lib/tarnwick/Kestrin.ax", RegValue(std::string(kServerKey) + "\\InprocServer32", ""));
}

TEST_F(InstallTest, AStagedInstallGoesToTheInstallingUsersHomeAndRegistersNothing)
{
    // With DESTDIR nothing can land outside the scratch directory, whatever the
    // configured prefix is.
    const std::string stage = m_root.file("stage");
    twtest::ScopedEnv destdir("DESTDIR", stage.c_str());
    twtest::ProcessResult r = twtest::RunProcess({TW_CMAKE, "--install", TW_BUILD_DIR});
    ASSERT_EQ(0, r.exitCode) << r.output;
    const std::string prefix = TW_PREFIX_IS_DEFAULT ? m_prefix : std::string(TW_CONFIGURED_PREFIX);
    EXPECT_TRUE(twtest::FileExists(stage + prefix + "/lib/tarnwick/Tarnwick")) << r.output;
    EXPECT_TRUE(twtest::FileExists(stage + prefix + "/lib/tarnwick/files.ini")) << r.output;
    EXPECT_EQ(prefix + "/bin/tarnwick %u",
              KeyOf(twtest::ReadFile(stage + prefix + "/share/applications/tarnwick.desktop"), "Exec"));
    EXPECT_FALSE(twtest::FileExists(RegistryPath())) << "a staged install registers nothing";
}

// ---- Starting the installed program ---------------------------------------------

TEST_F(InstallTest, XdgOpenOfAStreamLinkStartsTheInstalledProgramOnItAndRecordsIntoTheVideosFolder)
{
    Install();
    // The user's videos folder, named but not made yet.
    twtest::WriteFile(m_home + "/.config/user-dirs.dirs", "XDG_VIDEOS_DIR=\"$HOME/My Videos\"\n");
    ServeClip();
    // The program checks for updates at every start: the installed release is
    // current against itself.
    ServeUpdates(m_app);
    Script("wait \"clip.asf [Install test]\" 30000\nsleep 1500\nkey R\nsleep 3000\nkey R\nsleep 300\nquit\n");
    const std::string url = "mms://127.0.0.1:" + std::to_string(m_streams->Port()) + "/clip.asf";
    twtest::ScopedEnv display("DISPLAY", ":99"); // xdg-open asks desktop entries only with a display
    twtest::ProcessResult r = RunBounded({Tool("xdg-open"), url}, m_home);
    EXPECT_EQ(0, r.exitCode) << Diagnostics();

    const std::string log = UiLog();
    EXPECT_TRUE(Contains(log, "dialog\tclose\tTarnwick startup\t0\n")) << Diagnostics();
    EXPECT_TRUE(Contains(log, "caption\tclip.asf [Install test]\n")) << Diagnostics();
    EXPECT_FALSE(Contains(log, "messagebox")) << Diagnostics();
    EXPECT_TRUE(Contains(UpdateLog(), "GET /download/start.php -> 200")) << UpdateLog();
    EXPECT_EQ(url, RegValue(kSettingsKey, "LastOpenedURL"));
    const std::string videos = m_home + "/My Videos";
    EXPECT_EQ(videos, RegValue(kSettingsKey, "SaveDirectory"));

    // The recording is in the videos folder, named after the clip, and other
    // readers read it.
    const std::set<std::string> recordings = FilesUnder(videos);
    ASSERT_EQ(1u, recordings.size()) << Join(recordings) << Diagnostics();
    const std::string name = *recordings.begin();
    // <clip name>_YYYYmmdd_HHMMSS.asf, the clip name being the URL's last component.
    EXPECT_EQ(0u, name.find("clip.asf_")) << name;
    EXPECT_EQ(std::string("clip.asf_YYYYmmdd_HHMMSS.asf").size(), name.size()) << name;
    wmftest::FileReading reading = wmftest::ReadWithOtherReaders(videos + "/" + name, 2);
    EXPECT_EQ("", reading.problems);
    EXPECT_GE(reading.seconds, 2.0);
    EXPECT_TRUE(FilesUnder(m_app).count(name) == 0) << "nothing is recorded into the program's directory";
}

TEST_F(InstallTest, TheCommandKeepsAChosenFolderRegistersAgainAndTakesRelativeFilesAndSpaces)
{
    Install();
    SetSetting("AutoUpdate", "Never");
    SetSetting("SaveDirectory", m_home + "/chosen");
    // A registry that lost the filter's registration since the install.
    ASSERT_EQ(0, Reg({"delete", kServerKey, "/f"}).exitCode);
    ServeClip();
    Script("wait \"clip.asf [Install test]\" 30000\nquit\n");
    twtest::ProcessResult r = RunBounded({Command(), "clip.asf"}, m_root.file("streams"));
    EXPECT_EQ(0, r.exitCode) << Diagnostics();
    EXPECT_FALSE(Contains(UiLog(), "messagebox")) << "the recording filter is there to create: " << Diagnostics();

    EXPECT_EQ(m_root.file("streams") + "/clip.asf", RegValue(kSettingsKey, "LastOpenedURL")) << Diagnostics();
    EXPECT_EQ(m_home + "/chosen", RegValue(kSettingsKey, "SaveDirectory"));
    EXPECT_EQ(App("Kestrin.ax"), RegValue(std::string(kServerKey) + "\\InprocServer32", ""));

    // A name with a space goes as a file: URL, so that the recorder gets it as one
    // word and not in quotes.
    fs::copy_file(m_root.file("streams/clip.asf"), m_root.file("streams/my clip.asf"));
    twtest::WriteFile(m_root.file("ui.log"), "");
    Script("wait \"my%20clip.asf [Install test]\" 30000\nquit\n");
    r = RunBounded({Command(), "my clip.asf"}, m_root.file("streams"));
    EXPECT_EQ(0, r.exitCode) << Diagnostics();
    EXPECT_FALSE(Contains(UiLog(), "messagebox")) << Diagnostics();
    EXPECT_EQ("file://" + m_root.file("streams") + "/my%20clip.asf", RegValue(kSettingsKey, "LastOpenedURL"));

    // An empty or over-long folder counts as none, as the recorder reads it; the
    // videos folder defaults to the home directory.
    for (const std::string &value : {std::string(), std::string(300, 'x')}) {
        SetSetting("SaveDirectory", value);
        Script("quit\n");
        RunBounded({Command(), "--help"});
        EXPECT_EQ(value, RegValue(kSettingsKey, "SaveDirectory")) << "--help starts nothing";
        Script("wait \"Enter an URL\" 30000\nclick 2\nwait \"Tarnwick\"\nquit\n");
        SetSetting("LastOpenedURL", "");
        EXPECT_EQ(0, RunBounded({Command()}).exitCode) << Diagnostics();
        EXPECT_EQ(m_home, RegValue(kSettingsKey, "SaveDirectory")) << "was [" << value << "]";
    }

    EXPECT_EQ(2, RunBounded({Command(), "--bogus"}).exitCode);
}

// ---- Updates -------------------------------------------------------------------

TEST_F(InstallTest, AnUpdateReplacesTheRecorderLibraryInPlaceAndTheNextStartUsesIt)
{
    Install();
    // The next release: the installed files with a later recorder library.
    const std::string release = m_root.file("release");
    fs::create_directories(release);
    for (const auto &entry : fs::directory_iterator(m_app))
        if (entry.path().filename() != "files.ini")
            fs::copy_file(entry.path(), release + "/" + entry.path().filename().string());
    const std::string newLibrary = twtest::ReadFile(twtest::TestPath("install-update/TarnwickDll.dll"));
    ASSERT_NE(newLibrary, twtest::ReadFile(App("TarnwickDll.dll")));
    twtest::WriteFile(release + "/TarnwickDll.dll", newLibrary);
    ServeUpdates(release, {"--manifest-version", TW_UPDATE_VERSION});
    const std::map<std::string, std::string> before = [&] {
        std::map<std::string, std::string> files;
        for (const std::string &name : FilesUnder(m_app))
            files[name] = twtest::ReadFile(App(name));
        return files;
    }();

    // Download (first OK), then start (second OK); no URL, so the Enter-URL box.
    Script("wait \"Tarnwick startup\" 30000\nclick 1005\nsleep 1500\nclick 1005\n"
           "wait \"Enter an URL\" 30000\nclick 2\nwait \"Tarnwick\"\nquit\n");
    EXPECT_EQ(0, RunBounded({Command()}).exitCode) << Diagnostics();
    EXPECT_TRUE(Contains(UpdateLog(), "GET /download/TarnwickDll.dll." TW_UPDATE_VERSION " -> 200")) << UpdateLog();
    EXPECT_EQ(newLibrary, twtest::ReadFile(App("TarnwickDll.dll")));
    EXPECT_FALSE(twtest::FileExists(App("TarnwickDll.dll." TW_UPDATE_VERSION)));
    EXPECT_EQ(";" TW_UPDATE_VERSION, Lines(twtest::ReadFile(App("files.ini"))).at(0));
    for (const auto &[name, bytes] : before) {
        if (name != "TarnwickDll.dll" && name != "files.ini") {
            EXPECT_EQ(bytes, twtest::ReadFile(App(name))) << name << " is unchanged";
        }
    }

    // The next start finds everything current and maps the new library from the
    // program's directory.
    twtest::WriteFile(m_root.file("ui.log"), "");
    Script("wait \"Enter an URL\" 30000\nsleep 3000\nclick 2\nwait \"Tarnwick\"\nquit\n");
    twtest::BackgroundProcess program({Command()}, m_root.file("program.log"));
    std::string mapped;
    for (int waited = 0; waited < 30000 && program.running() && mapped.empty(); waited += 20) {
        if (Contains(UiLog(), "dialog\topen\tEnter an URL\n")) {
            for (const std::string &line : Lines(twtest::ReadFile("/proc/" + std::to_string(program.pid()) + "/maps"))) {
                if (Contains(line, "TarnwickDll.dll"))
                    mapped = line;
            }
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    for (int waited = 0; waited < 30000 && program.running(); waited += 20)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(0, program.stop()) << twtest::ReadFile(m_root.file("program.log")) << UiLog();
    EXPECT_TRUE(Contains(UiLog(), "dialog\tclose\tTarnwick startup\t0\n")) << UiLog();

    struct stat st {};
    ASSERT_EQ(0, stat(App("TarnwickDll.dll").c_str(), &st));
    ASSERT_FALSE(mapped.empty()) << "the recorder library was never mapped; " << UiLog();
    // "<range> <perms> <offset> <dev> <inode>    <path>"
    std::istringstream fields(mapped);
    std::string range, perms, offset, device, inode, path;
    fields >> range >> perms >> offset >> device >> inode >> path;
    EXPECT_EQ(App("TarnwickDll.dll"), path) << mapped;
    EXPECT_EQ(std::to_string(st.st_ino), inode) << "the mapped library is the file the update installed: " << mapped;
    EXPECT_FALSE(Contains(mapped, "(deleted)")) << mapped;
}

// ---- Uninstall -------------------------------------------------------------------

TEST_F(InstallTest, UninstallRemovesTheProgramAndItsRegistrationAndKeepsRecordingsAndSettings)
{
    Install();
    // Settings and a recording of the user's, and what updates leave in the
    // program's directory: a file a later manifest added, a download in progress.
    SetSetting("SaveDirectory", m_home + "/Videos");
    SetSetting("AutoUpdate", "Never");
    fs::create_directories(m_home + "/Videos");
    twtest::WriteFile(m_home + "/Videos/clip_20261207_101010.asf", "recording");
    std::string manifest = twtest::ReadFile(App("files.ini"));
    manifest += "[File11]\r\nName=Readme.txt\r\nVersion=2.0.0.0\r\n"
                "[File12]\r\nName=../../keep.txt\r\nVersion=2.0.0.0\r\n";
    twtest::WriteFile(App("files.ini"), manifest);
    twtest::WriteFile(App("Readme.txt"), "new in a later release");
    twtest::WriteFile(App("Readme.txt.2.0.0.0"), "half of it");
    twtest::WriteFile(m_prefix + "/keep.txt", "not the program's: a manifest names no file outside its directory");

    twtest::ProcessResult r = RunBounded({Command(), "--uninstall"}, m_home);
    EXPECT_EQ(0, r.exitCode) << r.output;
    EXPECT_TRUE(Contains(r.output, "Your recordings and settings are kept.")) << r.output;

    EXPECT_EQ(std::set<std::string>{"keep.txt"}, FilesUnder(m_prefix)) << Join(FilesUnder(m_prefix));
    EXPECT_FALSE(fs::exists(m_app));
    EXPECT_EQ("<absent>", RegValue(std::string(kServerKey) + "\\InprocServer32", ""));
    EXPECT_NE(0, Reg({"query", kServerKey}).exitCode);
    EXPECT_NE(0, Reg({"query", kFilterKey}).exitCode);
    EXPECT_EQ(m_home + "/Videos", RegValue(kSettingsKey, "SaveDirectory"));
    EXPECT_EQ("Never", RegValue(kSettingsKey, "AutoUpdate"));
    EXPECT_EQ("recording", twtest::ReadFile(m_home + "/Videos/clip_20261207_101010.asf"));
    EXPECT_EQ("", twtest::RunProcess({Tool("xdg-mime"), "query", "default", "x-scheme-handler/mms"}).output);

    // The command went last.
    r = RunBounded({Tool("sh"), "-c", "test ! -e \"$0\"", Command()});
    EXPECT_EQ(0, r.exitCode);
}

TEST_F(InstallTest, UninstallKeepsTheDirectoryOfRecordingsMadeThereAndClearsABrokenRegistration)
{
    Install();
    // Recordings made in the program's directory by a run that saved there, and a
    // filter module that can no longer unregister itself.
    twtest::WriteFile(App("stream_20261207_101010.asf"), "recording");
    fs::remove(App("Kestrin.ax"));
    twtest::ProcessResult r = RunBounded({Command(), "--uninstall"}, m_home);
    EXPECT_EQ(0, r.exitCode) << r.output;
    EXPECT_TRUE(Contains(r.output, "Kept " + m_app)) << r.output;
    EXPECT_EQ(std::set<std::string>{"lib/tarnwick/stream_20261207_101010.asf"}, FilesUnder(m_prefix))
        << Join(FilesUnder(m_prefix));
    EXPECT_NE(0, Reg({"query", kServerKey}).exitCode);
    EXPECT_NE(0, Reg({"query", kFilterKey}).exitCode);
}

} // namespace
