// Shared set-up of the launcher's unit tests: a working directory of their own
// with the stand-in launcher file, a release directory and the update server.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testdata.h"
#include "twtesting.h"

namespace lt {

class LauncherTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string Work(const std::string &name) const { return m_work + "/" + name; }
    std::string Release(const std::string &name) const { return m_release + "/" + name; }
    std::string Outside(const std::string &name) const { return m_root.file(name); }

    // The entry of a file in the release directory, with its real size and digest.
    Entry ReleaseEntry(const std::string &name, const std::string &version) const;
    // Writes files.ini in the working directory.
    void WriteManifest(const std::string &version, const std::vector<Entry> &entries);
    // A key of files.ini in the working directory, or "<absent>".
    std::string ManifestKey(int entry, const std::string &key) const;

    // Starts the update server on the release directory and points the launcher at it.
    void StartUpdateServer(const std::vector<std::string> &extra = {});
    void PointLauncherAt(const std::string &address);
    std::string ServerLog() const { return twtest::ReadFile(m_root.file("server.log")); }

    twtest::TempDir m_root;
    twtest::ScratchRegistry m_registry;
    std::string m_work;
    std::string m_release;
    std::string m_oldCwd;
    std::unique_ptr<twtest::BackgroundProcess> m_server;
    std::unique_ptr<twtest::ScopedEnv> m_serverEnv;
};

} // namespace lt
