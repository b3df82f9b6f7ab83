// The options have one home, the tool's table, which --help is written from: the table of
// doc/usage.md and the man page list the same options with the same values, and --check words
// reasons as a conversion does.
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "process.hpp"

namespace {

using Options = std::set<std::string>; // "--order=ORDER", "--columns", ...

std::string read_text(const std::string& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

Options matches(const std::string& text, const std::regex& pattern, bool lower_value = false) {
    Options found;
    for (auto at = std::sregex_iterator(text.begin(), text.end(), pattern);
         at != std::sregex_iterator(); ++at) {
        std::string value = (*at)[2].str();
        for (char& c : value) {
            c = lower_value ? static_cast<char>(std::tolower(static_cast<unsigned char>(c))) : c;
        }
        found.insert("--" + (*at)[1].str() + (value.empty() ? "" : "=" + value));
    }
    return found;
}

TEST(Options, TheUsageTableAndTheManPageListWhatTheHelpDoes) {
    const test::Run help = test::run_tool("--help");
    ASSERT_EQ(help.status, 0);
    Options listed = matches(help.out, std::regex(R"(\n  (?:-\w, |    )--([a-z-]+)(?:=(\S+))?)"));
    ASSERT_GT(listed.size(), 15U) << help.out;

    // The table of doc/usage.md: each row's first cell names its options, in backquotes.
    const std::string usage = read_text(TIVRANO_SOURCE_DIR "/doc/usage.md");
    const auto table = usage.find("| Option | What it does |");
    ASSERT_NE(table, std::string::npos);
    std::string cells;
    std::istringstream rows(usage.substr(table));
    for (std::string row; std::getline(rows, row) && row.starts_with("|");) {
        cells += row.substr(0, row.find(" | ", 1)) + "\n";
    }
    Options in_usage = matches(cells, std::regex(R"(`--([a-z-]+)(?:=([A-Z][A-Za-z,]*))?`)"));
    in_usage.erase("--gamma=R,G,B"); // the second form of --gamma=G
    EXPECT_EQ(in_usage, listed);

    // The man page: each option at the head of its paragraph, its value in lower case.
    const std::string page = read_text(TIVRANO_SOURCE_DIR "/man/tivrano.1");
    std::string heads = std::regex_replace(page, std::regex(R"(\\-)"), "-");
    const Options in_page = matches(
        heads,
        std::regex(
            R"(\.TP\n\.B[IR]? (?:-\w (?:" \w+" "\\fR, \\fP|", " ))?--([a-z-]+)(?:=[" ]*(\w[\w,]*))?)"),
        true);
    Options expected;
    for (const std::string& option : listed) {
        std::string lower = option;
        for (char& c : lower) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        expected.insert(lower);
    }
    EXPECT_EQ(in_page, expected);
}

// --check takes what a conversion takes and words the same reasons, with the CMake keyword
// where the option has one; it reads no file.
TEST(Options, CheckWordsTheReasonsOfAConversion) {
    struct Case {
        std::string options;
        std::string given;   // as a conversion's reason names it
        std::string keyword; // as --check's names it
    };
    const Case cases[] = {
        {"--gamma=2.", "--gamma=2.", "GAMMA 2."},
        {"--gamma=5.5", "--gamma=5.5", "GAMMA 5.5"},
        {"--order=xyz", "--order=xyz", "ORDER xyz"},
        {"--brightness=0", "--brightness=0", "BRIGHTNESS 0"},
        {"--name=size_t", "--name=size_t", "NAME size_t"},
        {"--name=ok --name=int", "--name=int", "NAME int"},
        {"--max-bytes=0", "--max-bytes=0", "MAX_BYTES 0"},
        {"--delay-ms=80,x", "--delay-ms=80,x", "DELAY_MS 80,x"},
        {"--format=rgb888", "--format=rgb888", "FORMAT rgb888"},
        {"--format=mono --threshold=256", "--threshold=256", "THRESHOLD 256"},
        // Options that do not go together: the one that does not fit is named.
        {"--format=rgb565 --order=gbr", "--order=gbr", "ORDER gbr"},
        {"--swap-bytes --format=mono", "--swap-bytes", "SWAP_BYTES"},
        {"--threshold=9", "--threshold=9", "THRESHOLD 9"},
        {"--progmem --binary", "--progmem", "PROGMEM"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        const test::Run converted = test::run_tool(c.options + " missing.bmp");
        const test::Run checked = test::run_tool("--check " + c.options);
        EXPECT_EQ(checked.status, 255);
        const std::string prefix = "tivrano: " + c.given + ": ";
        ASSERT_TRUE(converted.err.starts_with(prefix)) << converted.err;
        const std::string reason = converted.err.substr(prefix.size());
        if (c.given != c.keyword) {
            EXPECT_EQ(checked.out, "");
            EXPECT_EQ(checked.err, "tivrano: " + c.keyword + ": " +
                                       reason.substr(0, reason.find("; see tivrano --help")) +
                                       "\n");
        }
    }
    const test::Run good = test::run_tool(
        "--check --order=RGB --gamma=2.6,2.2,2.5 --name=Anim --pack --delay-ms=80,80 missing.bmp");
    EXPECT_EQ(good.status, 0);
    EXPECT_EQ(good.out + good.err, "");
    for (const std::string options :
         {"--format=Rgb565 --order=BGR --swap-bytes --binary", "--format=mono --threshold=1",
          "--delay-ms=0 --background=FFFFFF"}) {
        const test::Run taken = test::run_tool("--check " + options);
        EXPECT_EQ(taken.status, 0) << options;
        EXPECT_EQ(taken.out + taken.err, "") << options;
    }
}

} // namespace

namespace {

// The CMake functions hand their layout and colour keywords to the tool as its options, by a
// list of pairs in tivranoFunctions.cmake; the tool's --check names each option's keyword, so
// the two must agree, pair by pair.
TEST(Options, TheCMakeKeywordsAreTheTools) {
    const std::string functions = read_text(TIVRANO_SOURCE_DIR "/cmake/tivranoFunctions.cmake");
    std::smatch found;
    ASSERT_TRUE(std::regex_search(functions, found,
                                  std::regex(R"(set\(keywords ([^)]*)\)\s*set\(names ([^)]*)\))")));
    const auto words = [](const std::string& text) {
        std::istringstream in(text);
        return std::vector<std::string>(std::istream_iterator<std::string>(in), {});
    };
    const std::vector<std::string> keywords = words(found[1].str());
    const std::vector<std::string> names = words(found[2].str());
    ASSERT_EQ(keywords.size(), names.size());
    ASSERT_GE(keywords.size(), 6U);
    for (std::size_t k = 0; k < keywords.size(); ++k) {
        const test::Run check = test::run_tool("--check --" + names[k] + "=x,");
        EXPECT_TRUE(check.err.starts_with("tivrano: " + keywords[k] + " x,: ")) << check.err;
    }
}

} // namespace
