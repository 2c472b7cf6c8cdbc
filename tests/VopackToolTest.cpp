// The vopack tool's pure parts: member names from file names, display and
// extraction names, wildcard selection, the progress line, ISO times.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Options.h"
#include "ToolNames.h"
#include "ToolPack.h"
#include "ToolProgress.h"
#include "Verbs.h"

using namespace vopacktool;

TEST(ToolNamesTest, MemberNamesFromFileNames) {
    struct Case {
        const char* utf8;
        TNameProblem problem;
        const char* cp932;
    };
    const Case cases[] = {
        {"readme.txt", TNameProblem::npNone, "readme.txt"},
        {"\xE6\x97\xA5\xE6\x9C\xAC.txt", TNameProblem::npNone, "\x93\xFA\x96\x7B.txt"},  // 日本.txt
        {"\xE3\x82\xBD", TNameProblem::npNone, "\x83\x5C"},                              // ソ
        {"a.b.c", TNameProblem::npNone, "a.b.c"},                     // the extension is "b.c"
        {"123456789012345678901.abc", TNameProblem::npNone, "123456789012345678901.abc"},
        {"1234567890123456789012", TNameProblem::npBaseTooLong, nullptr},
        {"1234567890123456789012.a", TNameProblem::npBaseTooLong, nullptr},
        {"readme.text", TNameProblem::npExtTooLong, nullptr},
        {"123456789012345678901.abcd", TNameProblem::npTooLong, nullptr},
        {".bashrc", TNameProblem::npEmptyBase, nullptr},
        {".ab", TNameProblem::npEmptyBase, nullptr},
        {"name.", TNameProblem::npEmptyExt, nullptr},
        {"", TNameProblem::npEmpty, nullptr},
        {"caf\xC3\xA9", TNameProblem::npNotCp932, nullptr},            // é
        {"bad\xFF", TNameProblem::npNotCp932, nullptr},
        // 11 double-byte characters: 22 bytes before the dot.
        {"\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82\xE3\x81"
         "\x82\xE3\x81\x82\xE3\x81\x82",
         TNameProblem::npBaseTooLong, nullptr},
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(MemberNameFromUtf8(c.utf8, out), c.problem) << c.utf8;
        if (c.cp932) {
            EXPECT_EQ(out, c.cp932);
        }
    }
}

TEST(ToolNamesTest, DisplayAndExtractionNames) {
    struct Case {
        std::string cp932;
        const char* display;
        const char* posix;    // "" refused
        const char* windows;  // "" refused
    };
    const Case cases[] = {
        {"ok.txt", "ok.txt", "ok.txt", "ok.txt"},
        {"\x83\x5C.txt", "\xE3\x82\xBD.txt", "\xE3\x82\xBD.txt", "\xE3\x82\xBD.txt"},  // ソ: 0x5C as a trail byte
        {"../x", "../x", "", ""},
        {"..", "..", "", ""},
        {".", ".", "", ""},
        {"a/b", "a/b", "", ""},
        {"a\\b", "a\\b", "", ""},
        {"c:x", "c:x", "", ""},
        {"", "", "", ""},
        {"CON", "CON", "CON", ""},
        {"nul.txt", "nul.txt", "nul.txt", ""},
        {"com1.a", "com1.a", "com1.a", ""},
        {"console", "console", "console", "console"},
        {"a?b", "a?b", "a?b", ""},
        {"end.", "end.", "end.", ""},
        {"x\x81", "x\\x81", "x\\x81", "x%81"},             // a lead byte cut off
        {"\x80\xFF" "A", "\\x80\\xFFA", "\\x80\\xFFA", "%80%FFA"},
        {"tab\there", "tab\\x09here", "tab\\x09here", "tab%09here"},  // control bytes escaped
        {"\x85\x40", "\\x85@", "\\x85@", "%85@"},           // a pair without a character
        {"G\xFB:", "G\\xFB:", "", ""},                     // ":" is no trail byte: still refused
        {"\x81/x", "\\x81/x", "", ""},
        {"\xEB\\", "\\xEB\\", "", ""},                     // no character: the 0x5C is a backslash
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DisplayName(c.cp932), c.display) << c.cp932;
        EXPECT_EQ(ExtractionName(c.cp932, false), c.posix) << c.cp932;
        EXPECT_EQ(ExtractionName(c.cp932, true), c.windows) << c.cp932;
    }
}

TEST(ToolNamesTest, MatchesAsThePackLooksUp) {
    struct Case {
        const char* pattern;
        const char* name;
        bool matches;
    };
    const Case cases[] = {
        {"readme.txt", "README.TXT", true},  {"*.txt", "a.TXT", true},      {"*.txt", "a.txt.bak", false},
        {"?.txt", "\x83\x5C.txt", true},     // ? takes a whole double-byte character
        {"??.txt", "\x83\x5C.txt", false},   {"*", "", true},               {"a*b*c", "aXbYc", true},
        {"a*b*c", "aXbY", false},            {"\x82\x81", "\x82\x60", false},  // full-width a/A differ
        {"*\\*", "\x83\x5C", false},         // the trail byte 0x5C is no backslash
    };
    for (const Case& c : cases) EXPECT_EQ(MatchesMember(c.pattern, c.name), c.matches) << c.pattern << " " << c.name;
    EXPECT_TRUE(SameMemberName("abc.TXT", "ABC.txt"));
    EXPECT_FALSE(SameMemberName("abc", "abcd"));
}

TEST(ToolProgressTest, LineFitsAndReports) {
    const std::string line = TProgress::Line("extracting", 50 << 20, 100 << 20, 2.0, 80);
    EXPECT_LE(line.size(), 79u);
    EXPECT_NE(line.find("50.0 MiB / 100.0 MiB"), std::string::npos) << line;
    EXPECT_NE(line.find("25.0 MiB/s"), std::string::npos) << line;
    EXPECT_NE(line.find("0:02 left"), std::string::npos) << line;
    EXPECT_NE(line.find("[##"), std::string::npos) << line;
    // Too narrow for a bar: the figures alone.
    EXPECT_EQ(TProgress::Line("x", 0, 0, 0, 20).find('['), std::string::npos);
}

TEST(ToolPackTest, IsoTimes) {
    EXPECT_EQ(IsoTime(0), "1601-01-01T00:00:00Z");
    EXPECT_EQ(IsoTime(132224078450000000ULL), "2020-01-02T03:04:05Z");
    EXPECT_EQ(IsoTime(116444736000000000ULL), "1970-01-01T00:00:00Z");
    EXPECT_FALSE(IsoTime(~0ULL).empty());  // a hostile time: some year, no fault
}

namespace {
int RunNothing(const TOptions&) { return 0; }
}  // namespace

TEST(OptionsTest, ParsesWhatTheCommandTakes) {
    const TVerb extract{"extract", "PACK [MEMBER...]", "", osCrcMode | osDirectory | osForce | osSkip, 1, -1, RunNothing};
    const TVerb create{"create", "PACK FILE...", "", osForce | osStore | osName | osJobs, 2, -1, RunNothing};
    struct Case {
        const TVerb* verb;
        std::vector<std::string> arguments;
        int result;  // -1: run
    };
    const Case cases[] = {
        {&extract, {"a.pak"}, -1},
        {&extract, {"a.pak", "*.txt", "-C", "out", "--force", "-q"}, -1},
        {&extract, {"a.pak", "--crc-mode", "each"}, -1},
        {&extract, {"a.pak", "--crc-mode", "sometimes"}, 2},
        {&extract, {"a.pak", "--force", "--skip"}, 2},
        {&extract, {"a.pak", "--store"}, 2},            // not an option of extract
        {&extract, {}, 2},
        {&extract, {"--", "-odd.pak"}, -1},              // a name that starts with "-"
        {&create, {"a.pak", "f", "-j", "4", "--name", "x.txt"}, -1},
        {&create, {"a.pak", "f", "-j", "0"}, 2},
        {&create, {"a.pak"}, 2},
        {&create, {"a.pak", "f", "--crc-mode", "none"}, 2},
    };
    for (const Case& c : cases) {
        TOptions options;
        testing::internal::CaptureStderr();
        EXPECT_EQ(ParseOptions(*c.verb, c.arguments, options), c.result) << c.verb->Name << " " << c.arguments.size();
        const std::string err = testing::internal::GetCapturedStderr();
        if (c.result == 2) {
            EXPECT_NE(err.find("usage: vopack "), std::string::npos) << err;
        }
    }
    TOptions options;
    ASSERT_EQ(ParseOptions(extract, {"a.pak", "x", "-C", "out", "--crc-mode", "none", "-q", "--skip"}, options), -1);
    EXPECT_EQ(options.Arguments, (std::vector<std::string>{"a.pak", "x"}));
    EXPECT_EQ(options.Directory, "out");
    EXPECT_EQ(options.CrcMode, cmNon);
    EXPECT_TRUE(options.Quiet && options.Skip && !options.Force);
    ASSERT_EQ(ParseOptions(create, {"a.pak", "f", "-j", "3", "--store"}, options = {}), -1);
    EXPECT_EQ(options.Jobs, 3);
    EXPECT_TRUE(options.Store);
}
