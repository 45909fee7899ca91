// The mode choice and the service path, every character and shape of input.
#include <gtest/gtest.h>

#include <string>

#include "CommandMode.h"
#include "ServicePath.h"

namespace {

TEST(RemoveText, TheSecondCharacterChoosesTheModeInEitherCase) {
    for (int first = 1; first < 256; ++first) {
        for (int second = 1; second < 256; ++second) {
            const char tail[] = {static_cast<char>(first), static_cast<char>(second), 'x', '\0'};
            RemoveMode expected = RemoveMode::None;
            if (second == 'I' || second == 'i') expected = RemoveMode::Install;
            if (second == 'U' || second == 'u') expected = RemoveMode::Uninstall;
            ASSERT_EQ(ChooseMode(tail), expected) << first << "," << second;
        }
    }
}

TEST(RemoveText, ShortOrMissingTailsChooseNothing) {
    EXPECT_EQ(ChooseMode(nullptr), RemoveMode::None);
    EXPECT_EQ(ChooseMode(""), RemoveMode::None);
    for (const char* one : {"I", "U", "i", "u", "/"}) EXPECT_EQ(ChooseMode(one), RemoveMode::None) << one;
    EXPECT_EQ(ChooseMode("/I"), RemoveMode::Install);
    EXPECT_EQ(ChooseMode("-u"), RemoveMode::Uninstall);
    EXPECT_EQ(ChooseMode("UI"), RemoveMode::Install);  // the first character does not count
}

std::string Chosen(const char* beside, bool exists, const char* system, size_t size = 260) {
    char out[1200] = "unchanged";
    bool ok = ChooseServiceProgram(beside, exists, system, "TELVARIX.EXE", out, size);
    return ok ? std::string(out) : "fail:" + std::string(out);
}

TEST(RemoveText, ServiceProgramBesideOrFromTheSystemDirectory) {
    EXPECT_EQ(Chosen("C:\\Tvx\\TELVARIX.EXE", true, "C:\\WINDOWS\\system32"), "C:\\Tvx\\TELVARIX.EXE");
    EXPECT_EQ(Chosen("C:\\Tvx\\TELVARIX.EXE", false, "C:\\WINDOWS\\system32"), "TELVARIX.EXE");
    EXPECT_EQ(Chosen("", true, "C:\\WINDOWS\\system32"), "TELVARIX.EXE");
    EXPECT_EQ(Chosen(nullptr, true, nullptr), "TELVARIX.EXE");
}

TEST(RemoveText, PathsWithBlanksAreQuotedOnce) {
    EXPECT_EQ(Chosen("C:\\Program Files\\Telvarix\\TELVARIX.EXE", true, "C:\\WINDOWS\\system32"),
              "\"C:\\Program Files\\Telvarix\\TELVARIX.EXE\"");
    EXPECT_EQ(Chosen("\"C:\\Program Files\\TELVARIX.EXE\"", true, "C:\\x"), "\"C:\\Program Files\\TELVARIX.EXE\"");
    // A system directory with a blank cannot stay implicit: its full path, quoted.
    EXPECT_EQ(Chosen("C:\\Tvx\\TELVARIX.EXE", false, "D:\\My Windows\\system32"),
              "\"D:\\My Windows\\system32\\TELVARIX.EXE\"");
    EXPECT_EQ(Chosen("x", false, "D:\\My Windows\\"), "\"D:\\My Windows\\TELVARIX.EXE\"");
}

TEST(RemoveText, APathThatDoesNotFitIsRefusedNotCut) {
    std::string dir = "C:\\" + std::string(240, 'a') + "\\TELVARIX.EXE";  // 256 characters
    EXPECT_EQ(Chosen(dir.c_str(), true, "C:\\w", 260), dir);
    std::string blank = "C:\\" + std::string(240, ' ') + "\\TELVARIX.EXE";  // 258 with quotes
    EXPECT_EQ(Chosen(blank.c_str(), true, "C:\\w", 258), "fail:");
    EXPECT_EQ(Chosen(blank.c_str(), true, "C:\\w", 259), "\"" + blank + "\"");
    EXPECT_EQ(Chosen("C:\\a b", true, "C:\\w", 1), "fail:");
    char out[4] = "xyz";
    EXPECT_FALSE(QuoteIfBlank("a b", out, sizeof out));
    EXPECT_STREQ(out, "");
    EXPECT_TRUE(QuoteIfBlank("abc", out, sizeof out));
    EXPECT_STREQ(out, "abc");
}

}  // namespace
