// The registry database file as the user sees it: after the process has ended
// the file alone holds every value (a copy or a backup of it loses nothing),
// and a database the user may only read still answers queries.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "regrun.h"

namespace {

namespace fs = std::filesystem;

const uid_t kNobody = 65534;

// reg as a user without privileges: root writes where permissions say it may not.
twtest::ProcessResult RegAsUser(std::vector<std::string> args)
{
    args.insert(args.begin(), twtest::BinPath("reg"));
    if (geteuid() == 0)
        args.insert(args.begin(), {"/usr/bin/setpriv", "--reuid=" + std::to_string(kNobody),
                                   "--regid=" + std::to_string(kNobody), "--clear-groups", "--"});
    return twtest::RunProcess(args);
}

TEST(RegStore, ACopyOfTheDatabaseFileAloneHoldsWhatWasWritten)
{
    twtest::ScratchRegistry registry;
    ASSERT_EQ(0, Reg({"add", "HKCU\\Software\\Copied", "/v", "AutoUpdate", "/t", "REG_SZ", "/d", "Never", "/f"})
                     .exitCode);
    twtest::TempDir elsewhere;
    const std::string copy = elsewhere.file("registry.db");
    fs::copy_file(registry.path(), copy);
    ASSERT_FALSE(twtest::FileExists(copy + "-wal"));

    twtest::ScopedEnv useCopy("TARNWICK_REGISTRY", copy.c_str());
    twtest::ProcessResult r = Reg({"query", "HKCU\\Software\\Copied", "/v", "AutoUpdate"});
    EXPECT_EQ(0, r.exitCode) << r.output;
    EXPECT_TRUE(Contains(r.output, "AutoUpdate    REG_SZ    Never")) << r.output;
}

TEST(RegStore, AReadOnlyDatabaseAnswersQueriesAndRefusesWrites)
{
    twtest::TempDir dir;
    const std::string folder = dir.file("tarnwick");
    const std::string db = folder + "/registry.db";
    twtest::ScopedEnv env("TARNWICK_REGISTRY", db.c_str());
    ASSERT_EQ(0, Reg({"add", "HKCU\\Software\\Kept", "/v", "AutoUpdate", "/t", "REG_SZ", "/d", "Never", "/f"})
                     .exitCode);
    // The user may reach the folder (the scratch directory is private to root).
    chmod(dir.path().c_str(), 0755);

    struct Case {
        const char *name;
        mode_t fileMode, folderMode;
    } cases[] = {
        {"read-only file", 0444, 0755},
        {"read-only folder", 0644, 0555},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        // The user owns the file and the folder, as in a home directory.
        if (geteuid() == 0) {
            ASSERT_EQ(0, chown(folder.c_str(), kNobody, kNobody));
            ASSERT_EQ(0, chown(db.c_str(), kNobody, kNobody));
        }
        ASSERT_EQ(0, chmod(db.c_str(), c.fileMode));
        ASSERT_EQ(0, chmod(folder.c_str(), c.folderMode));

        twtest::ProcessResult r = RegAsUser({"query", "HKCU\\Software\\Kept", "/v", "AutoUpdate"});
        EXPECT_EQ(0, r.exitCode) << r.output;
        EXPECT_TRUE(Contains(r.output, "AutoUpdate    REG_SZ    Never")) << r.output;
        r = RegAsUser({"add", "HKCU\\Software\\Kept", "/v", "AutoUpdate", "/t", "REG_SZ", "/d", "Daily", "/f"});
        EXPECT_EQ(1, r.exitCode);
        EXPECT_TRUE(Contains(r.output, "ERROR: Access is denied.")) << r.output;

        ASSERT_EQ(0, chmod(folder.c_str(), 0755));
        ASSERT_EQ(0, chmod(db.c_str(), 0644));
        r = Reg({"query", "HKCU\\Software\\Kept", "/v", "AutoUpdate"});
        EXPECT_TRUE(Contains(r.output, "AutoUpdate    REG_SZ    Never")) << r.output;
    }
}

} // namespace
