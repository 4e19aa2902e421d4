// Words quoted for the host's shell come back unchanged from /bin/sh; host
// paths map onto Wine's Z: drive.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "HostPaths.h"

namespace {

#ifndef _WIN32
TEST(HostPaths, QuotedWordsPassTheShellUnchanged)
{
    for (const std::string word : {"plain", "two words", "it's", "'", "''", "$HOME `id` \\n *", "", "a\"b"}) {
        std::string command = "printf %s " + mbtest::ShellQuote(word);
        FILE* pipe = ::popen(command.c_str(), "r");
        ASSERT_NE(nullptr, pipe);
        std::string out;
        char buffer[256];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            out.append(buffer, n);
        EXPECT_EQ(0, ::pclose(pipe)) << word;
        EXPECT_EQ(word, out);
    }
}
#endif

TEST(HostPaths, HostPathsGoThroughTheZDrive)
{
    EXPECT_EQ("Z:\\tmp\\a b\\c.img", mbtest::HostWinPath("/tmp/a b/c.img"));
    EXPECT_EQ("Z:\\", mbtest::HostWinPath("/"));
}

}  // namespace
