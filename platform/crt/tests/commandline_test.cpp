// The command line handed to WinMain, rebuilt from the process arguments.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commandline.h"
#include "twtesting.h"

namespace {

std::string Build(std::vector<const char *> args)
{
    args.insert(args.begin(), "/path/to/program");
    return twcrt::BuildCommandLine(static_cast<int>(args.size()), args.data());
}

TEST(CommandLine, PlainArgumentsAreJoinedBySingleSpaces)
{
    EXPECT_EQ("", Build({}));
    EXPECT_EQ("http://example.test/live.asf", Build({"http://example.test/live.asf"}));
    EXPECT_EQ("a b c", Build({"a", "b", "c"}));
    EXPECT_EQ("C:\\dir\\file x\\", Build({"C:\\dir\\file", "x\\"}));
}

TEST(CommandLine, EmptyArgumentsAndBlanksAreQuoted)
{
    EXPECT_EQ("\"\"", Build({""}));
    EXPECT_EQ("a \"\" b", Build({"a", "", "b"}));
    EXPECT_EQ("\"two words\" \"tab\there\"", Build({"two words", "tab\there"}));
}

TEST(CommandLine, QuotesAndTheBackslashesBeforeThemAreEscaped)
{
    EXPECT_EQ("say\\\"hi\\\"", Build({"say\"hi\""}));
    EXPECT_EQ("a\\\\\\\"b", Build({"a\\\"b"}));
    // A trailing backslash inside quotes is doubled so that it does not escape the quote.
    EXPECT_EQ("\"dir with space\\\\\"", Build({"dir with space\\"}));
}

TEST(CommandLine, WinMainGetsTheLineTheInstanceAndTheShowCommand)
{
    auto r = twtest::RunProcess({twtest::TestPath("crt_echo"), "http://host/a b", "", "x"});
    EXPECT_EQ(0, r.exitCode) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("cmdline=[\"http://host/a b\" \"\" x]\n")) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("instance=self prev=null show=1\n")) << r.output;

    r = twtest::RunProcess({twtest::TestPath("crt_echo")});
    EXPECT_NE(std::string::npos, r.output.find("cmdline=[]\n")) << r.output;
}

TEST(CommandLine, WinMainsResultIsTheExitStatus)
{
    EXPECT_EQ(42, twtest::RunProcess({twtest::TestPath("crt_echo"), "exit", "42"}).exitCode);
    // A negative result reaches the parent as its low eight bits, as exit() passes it on.
    EXPECT_EQ(254, twtest::RunProcess({twtest::TestPath("crt_echo"), "exit", "-2"}).exitCode);
}

} // namespace
