// The pure text logic: line ends, bounded texts, paths, INI numbers, log formats, centring.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "IniValue.h"
#include "LineEnd.h"
#include "LogFormat.h"
#include "PathSplit.h"
#include "toolfunc/PathText.h"
#include "WindowMath.h"

using namespace toolfunc_detail;

namespace {

std::string Normalized(const std::string& text, const char* ending, size_t capacity = 64) {
    char buffer[4096];
    snprintf(buffer, sizeof buffer, "%s", text.c_str());
    NormalizeLineEnd(buffer, capacity, ending);
    return buffer;
}

}  // namespace

TEST(TfLineEnd, DebuggerLinesEndInOneLf) {
    EXPECT_EQ(Normalized("abc", "\n"), "abc\n");
    EXPECT_EQ(Normalized("abc\r\n", "\n"), "abc\n");
    EXPECT_EQ(Normalized("abc\n", "\n"), "abc\n\n");  // a lone LF stays
    EXPECT_EQ(Normalized("\n", "\n"), "\n\n");        // one character: kept
    EXPECT_EQ(Normalized("\r\n", "\n"), "\n");        // two characters: cut
    EXPECT_EQ(Normalized("", "\n"), "\n");
    EXPECT_EQ(Normalized("a\r", "\n"), "a\r\n");
    EXPECT_EQ(Normalized("x\r\n\r\n", "\n"), "x\r\n\n");  // only one CR LF goes
}

TEST(TfLineEnd, PlainLogLinesEndInCrLf) {
    EXPECT_EQ(Normalized("abc\r\n", "\r\n"), "abc\r\n");
    EXPECT_EQ(Normalized("abc\n", "\r\n"), "abc\n\r\n");
}

TEST(TfLineEnd, FullBufferStillEndsTheLine) {
    EXPECT_EQ(Normalized("abcdefg", "\n", 8), "abcdef\n");
    EXPECT_EQ(Normalized("abcdefg", "\r\n", 8), "abcde\r\n");
    EXPECT_EQ(Normalized("abcde\r\n", "\n", 8), "abcde\n");
}

TEST(TfPathSplit, SplitsLikeTheRuntime) {
    struct Case {
        const char *path, *drive, *dir, *base, *ext;
    } cases[] = {
        {"C:\\dir\\sub\\file.ext", "C:", "\\dir\\sub\\", "file", ".ext"},
        {"file", "", "", "file", ""},
        {"dir/x.tar.gz", "", "dir/", "x.tar", ".gz"},
        {"\\\\srv\\share\\a.b", "", "\\\\srv\\share\\", "a", ".b"},
        {"C:name.txt", "C:", "", "name", ".txt"},
        {"C:\\dir.d\\noext", "C:", "\\dir.d\\", "noext", ""},
        {".profile", "", "", "", ".profile"},
        {"", "", "", "", ""},
    };
    for (const Case& c : cases) {
        PathParts parts;
        SplitPath(c.path, parts);
        EXPECT_STREQ(parts.drive, c.drive) << c.path;
        EXPECT_STREQ(parts.dir, c.dir) << c.path;
        EXPECT_STREQ(parts.base, c.base) << c.path;
        EXPECT_STREQ(parts.ext, c.ext) << c.path;
    }
    EXPECT_TRUE(HasLocation("C:\\x.log"));
    EXPECT_TRUE(HasLocation("logs\\x.log"));
    EXPECT_TRUE(HasLocation("C:x.log"));
    EXPECT_FALSE(HasLocation("x.log"));
    EXPECT_FALSE(HasLocation(nullptr));
}

TEST(TfPathText, BackslashesAtTheEnd) {
    char path[260] = "C:\\dir";
    EXPECT_STREQ(AddBackslash(path), "C:\\dir\\");
    EXPECT_STREQ(AddBackslash(path), "C:\\dir\\");  // already there: unchanged
    EXPECT_STREQ(RemoveBackslash(path), "C:\\dir");
    EXPECT_STREQ(RemoveBackslash(path), "C:\\dir");
    EXPECT_EQ(AddBackslash(nullptr), nullptr);
    char empty[260] = "";
    EXPECT_STREQ(AddBackslash(empty), "");

    char full[260];
    std::string longest(259, 'p');
    snprintf(full, sizeof full, "%s", longest.c_str());
    EXPECT_EQ(strlen(AddBackslash(full)), 259u);  // no room: a 260-byte buffer stays intact
    full[258] = '\0';
    EXPECT_EQ(strlen(AddBackslash(full)), 259u);
    EXPECT_EQ(full[258], '\\');
}

TEST(TfIniValue, DecimalLikeTheRuntime) {
    EXPECT_EQ(IniTextToInt(""), 0);
    EXPECT_EQ(IniTextToInt(nullptr), 0);
    EXPECT_EQ(IniTextToInt("42"), 42);
    EXPECT_EQ(IniTextToInt("  -17x"), -17);
    EXPECT_EQ(IniTextToInt("+5"), 5);
    EXPECT_EQ(IniTextToInt("007"), 7);
    EXPECT_EQ(IniTextToInt("abc"), 0);
    EXPECT_EQ(IniTextToInt("-2147483648"), INT_MIN);
    EXPECT_EQ(IniTextToInt("2147483648"), INT_MAX);
    EXPECT_EQ(IniTextToInt("-99999999999999999999"), INT_MIN);
}

TEST(TfLogFormat, TimeStampsAndNames) {
    StampTime t = {2026, 12, 7, 4, 10, 0, 123};
    char text[128];
    FormatPlainStamp(t, text, sizeof text);
    EXPECT_STREQ(text, "07.12.2026 04:10:00:123 ");
    FormatNumberedHeader(t, 812, 1460, text, sizeof text);
    EXPECT_STREQ(text, "07-12-2026 04:10:00.123 ( 812:1460) - ");
    FormatNumberedHeader(t, 123456, 12, text, sizeof text);
    EXPECT_STREQ(text, "07-12-2026 04:10:00.123 (123456:  12) - ");
    FormatNameSuffix(t, text, sizeof text);
    EXPECT_STREQ(text, "_2026_12_07_04_10_00");

    char path[260];
    InsertNameSuffix("C:\\logs.d\\app.log", "_S", path, sizeof path);
    EXPECT_STREQ(path, "C:\\logs.d\\app_S.log");
    InsertNameSuffix("app", "_S", path, sizeof path);
    EXPECT_STREQ(path, "app_S");
}

TEST(TfLogFormat, RingFileNamesTakeOnlyTheFirstIntegerConversion) {
    char name[260];
    FormatRingFileName("C:\\l\\ring%d.log", 3, name, sizeof name);
    EXPECT_STREQ(name, "C:\\l\\ring3.log");
    FormatRingFileName("r%03u.log", 7, name, sizeof name);
    EXPECT_STREQ(name, "r007.log");
    FormatRingFileName("same.log", 9, name, sizeof name);
    EXPECT_STREQ(name, "same.log");
    FormatRingFileName("100%%-%d", 2, name, sizeof name);
    EXPECT_STREQ(name, "100%-2");
    FormatRingFileName("%s-%d-%d%n", 4, name, sizeof name);  // never reads missing arguments
    EXPECT_STREQ(name, "%s-4-%d%n");
    FormatRingFileName("abcdef%d", 12345, name, 9);
    EXPECT_STREQ(name, "abcdef12");
    FormatRingFileName(nullptr, 1, name, sizeof name);
    EXPECT_STREQ(name, "");
}

// Patterns written for a long counter must still give each file of the ring its own name.
TEST(TfLogFormat, RingFileNamesNumberLongConversions) {
    char first[260], second[260];
    FormatRingFileName("C:\\l\\ring%ld.log", 0, first, sizeof first);
    FormatRingFileName("C:\\l\\ring%ld.log", 1, second, sizeof second);
    EXPECT_STREQ(first, "C:\\l\\ring0.log");
    EXPECT_STREQ(second, "C:\\l\\ring1.log");
    FormatRingFileName("r%03lu-%ld.log", 7, first, sizeof first);
    EXPECT_STREQ(first, "r007-%ld.log");
    FormatRingFileName("r%llx.log", 255, first, sizeof first);
    EXPECT_STREQ(first, "rff.log");
    FormatRingFileName("r%hd.log", 9, first, sizeof first);
    EXPECT_STREQ(first, "r9.log");
    FormatRingFileName("r%ls-%lld.log", 4, first, sizeof first);  // %ls is no integer conversion
    EXPECT_STREQ(first, "r%ls-4.log");
}

// A width or precision no file name can use is no counter: copied as it stands, at once, instead
// of padding a gigabyte to keep a buffer's worth of blanks.
TEST(TfLogFormat, RingFileNamesRefuseHugeFieldWidths) {
    char name[260];
    FormatRingFileName("r%999999999d.log", 1, name, sizeof name);
    EXPECT_STREQ(name, "r%999999999d.log");
    FormatRingFileName("r%.4294967297u-%d.log", 1, name, sizeof name);
    EXPECT_STREQ(name, "r%.4294967297u-1.log");
    FormatRingFileName("r%33d.log", 1, name, sizeof name);
    EXPECT_STREQ(name, "r%33d.log");
    FormatRingFileName("r%032d.log", 1, name, sizeof name);
    EXPECT_STREQ(name, "r00000000000000000000000000000001.log");
}

TEST(TfLogFormat, RingRotatesEveryLinesPerFileAndWraps) {
    struct Case {
        unsigned line;
        bool starts;
        unsigned index;
    } cases[] = {{0, true, 0},      {1, false, 0},      {24999, false, 0}, {25000, true, 1},
                 {25001, false, 1}, {249999, false, 9}, {250000, true, 0}, {250001, false, 0}};
    for (const Case& c : cases) {
        RingStep step = RingPosition(c.line, 25000, 10);
        EXPECT_EQ(step.startsFile, c.starts) << c.line;
        EXPECT_EQ(step.index, c.index) << c.line;
    }
    RingStep step = RingPosition(5, 0, 0);  // nonsense settings: one line per file, one file
    EXPECT_TRUE(step.startsFile);
    EXPECT_EQ(step.index, 0u);
}

TEST(TfWindowMath, CentresInTheAreaAndTreatsWideAreasAsTwoScreens) {
    long x = 0, y = 0;
    CentredOrigin({0, 0, 1024, 768}, 200, 100, x, y);
    EXPECT_EQ(x, 412);
    EXPECT_EQ(y, 334);
    CentredOrigin({0, 0, 2560, 1024}, 200, 100, x, y);  // 2560 / 1024 = 2: left half
    EXPECT_EQ(x, 540);
    EXPECT_EQ(y, 462);
    CentredOrigin({100, 50, 300, 250}, 51, 31, x, y);
    EXPECT_EQ(x, 175);
    EXPECT_EQ(y, 135);
    CentredOrigin({-301, -101, 0, 0}, 3, 3, x, y);  // bottom 0: no halving; towards zero
    EXPECT_EQ(x, -151);
    EXPECT_EQ(y, -51);
}
