// --help and the manual page: every option either names is one the parser takes, and the manual page
// names every option --help does, in valid man(7) markup.
#include "host/HostCommandLine.h"
#include "host/HostUsage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <unistd.h>

namespace {

std::set<std::string> OptionsIn(const std::string& text) {
    std::set<std::string> found;
    static const std::regex option(R"((^|[\s\[,(])(--?[a-z][a-z-]*))");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
        found.insert((*it)[2].str());
    return found;
}

// The man page's words as a reader sees them: escapes and font changes taken out.
std::string ManPageWords(std::string page) {
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"\\-", "-"},
                                   {"\\fB", ""},
                                   {"\\fI", ""},
                                   {"\\fR", ""},
                                   {"\\&", ""},
                                   {"\\e", "\\"}}) {
        for (size_t at = page.find(from); at != std::string::npos; at = page.find(from, at + to.size()))
            page.replace(at, from.size(), to);
    }
    return page;
}

bool KnownToSomeCommand(const std::string& option) {
    for (const char* command : {"info", "render", "phrase", "snapshot", "validate"}) {
        std::vector<const char*> argv = {"tidebloom-host", command};
        if (std::string(command) != "phrase") argv.push_back("p.so");
        argv.push_back(option.c_str());
        HostCommand cmd;
        std::string err;
        if (HostParseCommandLine(static_cast<int>(argv.size()), argv.data(), cmd, err) ||
            err.find("unknown option") == std::string::npos)
            return true;
    }
    return false;
}

TEST(HostUsage, HelpAndManualPageNameTheOptionsTheParserTakes) {
    const std::set<std::string> help = OptionsIn(HostUsageText());
    // The help names at least the render options and the options of the other commands.
    for (const char* o :
         {"-i", "--output", "--save-fxb", "--plot", "--json", "--rate", "--timeout", "--version"})
        EXPECT_TRUE(help.count(o)) << o;
    const std::string words = ManPageWords(HostManPage());
    const std::set<std::string> man = OptionsIn(words);
    for (const std::string& o : help) {
        EXPECT_TRUE(o == "--version" || KnownToSomeCommand(o)) << o << " is in --help but not taken";
        EXPECT_TRUE(man.count(o)) << o << " is in --help but not in the manual page";
    }
    EXPECT_EQ(man, help);
    EXPECT_EQ(words.rfind(".TH TIDEBLOOM-HOST 1 ", 0), 0u);
    EXPECT_NE(words.find("130, 143"), std::string::npos);
}

TEST(HostUsage, ManualPageIsValidMarkup) {
    if (std::system("command -v groff >/dev/null 2>&1") != 0) GTEST_SKIP() << "no groff here";
    const std::filesystem::path dir = std::filesystem::temp_directory_path();
    const std::string page = (dir / ("tidebloom-host-man-" + std::to_string(getpid()) + ".1")).string();
    const std::string warnings = page + ".err";
    std::ofstream(page) << HostManPage();
    const std::string cmd = "groff -man -ww -z '" + page + "' 2>'" + warnings + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    std::ifstream in(warnings);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "");
    std::filesystem::remove(page);
    std::filesystem::remove(warnings);
}

} // namespace
