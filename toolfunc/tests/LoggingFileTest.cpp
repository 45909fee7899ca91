// Log files as they land on disk: line shapes, levels, the numbered ring, threads.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "toolfunc/LoggingFile.h"

using TOOLFUNC_debug::CLoggingFile;

namespace {

// Lines of a file, each with its line end as on disk.
std::vector<std::string> LinesOf(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t lf = bytes.find('\n', start);
        size_t end = lf == std::string::npos ? bytes.size() : lf + 1;
        lines.push_back(bytes.substr(start, end - start));
        start = end;
    }
    return lines;
}

std::string Today(const char* separator) {
    SYSTEMTIME st;
    GetLocalTime(&st);
    char text[32];
    snprintf(text, sizeof text, "%02d%s%02d%s%04d", st.wDay, separator, st.wMonth, separator, st.wYear);
    return text;
}

const char kPlainStamp[] = R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d:\d{3} )";

}  // namespace

TEST(TfLoggingFile, BareNamesGoBesideTheProgram) {
    CLoggingFile log;
    log.SetFileName("tf.log");
    EXPECT_EQ(std::string(log.GetFileName()), tftest::ExeDir() + "tf.log");
    log.SetFileName("C:\\logs\\tf.log");
    EXPECT_STREQ(log.GetFileName(), "C:\\logs\\tf.log");

    log.SetFileNameWithTime("C:\\logs\\app.log");
    std::string name = log.GetFileName();
    EXPECT_TRUE(std::regex_match(name, std::regex(R"(C:\\logs\\app_\d{4}_\d\d_\d\d_\d\d_\d\d_\d\d\.log)"))) << name;
}

TEST(TfLoggingFile, PlainLinesCarryTheStampAndEndInCrCrLf) {
    tftest::ScratchDir dir;
    CLoggingFile log;
    log.SetFileName(dir.File("plain.log").c_str());
    log.Write("first %d", 1);
    log.Write("second\r\n");
    log.Write("third\n");
    log.WriteEmptyLine();

    std::vector<std::string> lines = LinesOf(tftest::ReadFileBytes(dir.File("plain.log")));
    ASSERT_EQ(lines.size(), 5u);
    const std::string stamp = kPlainStamp;
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(stamp + "first 1\r\r\n"))) << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(stamp + "second\r\r\n"))) << lines[1];
    EXPECT_TRUE(std::regex_match(lines[2], std::regex(stamp + "third\r\n"))) << lines[2];
    EXPECT_EQ(lines[3], "\r\r\n");  // the LF kept from "third\n" gets its own CR LF end
    EXPECT_EQ(lines[4], "\r\r\n");
    EXPECT_EQ(lines[0].substr(0, 10), Today("."));
}

TEST(TfLoggingFile, LevelsFilterAndFileOperations) {
    tftest::ScratchDir dir;
    CLoggingFile log;
    log.Write("no file name yet");  // nothing to write to, nothing happens
    log.SetFileName(dir.File("level.log").c_str());
    log.SetLevel(2);
    log.WriteLevel(3, "too detailed");
    log.WriteLevel(2, "kept");
    std::string bytes = tftest::ReadFileBytes(dir.File("level.log"));
    EXPECT_EQ(bytes.find("too detailed"), std::string::npos);
    EXPECT_NE(bytes.find("kept\r\r\n"), std::string::npos);

    log.RemoveFile();
    EXPECT_FALSE(tftest::FileExists(dir.File("level.log")));

    log.SetFileName(dir.File("missing\\x.log").c_str());
    log.Write("lost silently");
    EXPECT_FALSE(tftest::FileExists(dir.File("missing\\x.log")));
}

TEST(TfLoggingFile, NumberedRingRotatesEmptiesAndWraps) {
    tftest::ScratchDir dir;
    tftest::WriteFileBytes(dir.File("ring0.log"), "old content\r\n");
    {
        CLoggingFile log;
        log.SetFilePattern(dir.File("ring%d.log").c_str());
        log.SetLinesPerFile(3);
        log.SetFileCount(2);
        for (int i = 1; i <= 3; ++i) log.WriteNumbered(0, "line %d", i);
        EXPECT_EQ(std::string(log.GetFileName()), dir.File("ring0.log"));
        std::string first = tftest::ReadFileBytes(dir.File("ring0.log"));
        EXPECT_EQ(first.find("old content"), std::string::npos);  // emptied at line 1
        EXPECT_EQ(LinesOf(first).size(), 3u);
        EXPECT_FALSE(tftest::FileExists(dir.File("ring1.log")));

        for (int i = 4; i <= 7; ++i) log.WriteNumbered(0, "line %d", i);
        EXPECT_EQ(log.GetLineCount(), 7u);
    }
    std::vector<std::string> ring0 = LinesOf(tftest::ReadFileBytes(dir.File("ring0.log")));
    std::vector<std::string> ring1 = LinesOf(tftest::ReadFileBytes(dir.File("ring1.log")));
    ASSERT_EQ(ring0.size(), 1u);
    ASSERT_EQ(ring1.size(), 3u);

    char ids[64];
    snprintf(ids, sizeof ids, R"(\(%4lu:%4lu\))", GetCurrentProcessId(), GetCurrentThreadId());
    std::string header = R"(\d\d-\d\d-\d{4} \d\d:\d\d:\d\d\.\d{3} )" + std::string(ids) + " - ";
    EXPECT_TRUE(std::regex_match(ring0[0], std::regex(header + "line 7\r\n"))) << ring0[0];
    EXPECT_TRUE(std::regex_match(ring1[0], std::regex(header + "line 4\r\n"))) << ring1[0];
    EXPECT_TRUE(std::regex_match(ring1[2], std::regex(header + "line 6\r\n"))) << ring1[2];
    EXPECT_EQ(ring1[0].substr(0, 10), Today("-"));
}

TEST(TfLoggingFile, NumberedLevelsAndAPatternWithoutNumber) {
    tftest::ScratchDir dir;
    CLoggingFile log;
    log.SetFilePattern(dir.File("same.log").c_str());
    log.SetLinesPerFile(2);
    log.WriteNumbered(1, "above the level");
    EXPECT_EQ(log.GetLineCount(), 0u);
    for (int i = 1; i <= 5; ++i) log.WriteNumbered(0, "entry %d", i);
    std::vector<std::string> lines = LinesOf(tftest::ReadFileBytes(dir.File("same.log")));
    ASSERT_EQ(lines.size(), 1u);  // emptied at lines 3 and 5
    EXPECT_NE(lines[0].find("entry 5"), std::string::npos);
}

TEST(TfLoggingFile, LinesFromManyThreadsAndObjectsNeverMix) {
    tftest::ScratchDir dir;
    CLoggingFile shared, other;
    shared.SetFileName(dir.File("shared.log").c_str());
    other.SetFileName(dir.File("other.log").c_str());
    const std::string payload(300, 'p');
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 100; ++i) {
                shared.Write("thread %d line %d %s", t, i, payload.c_str());
                if (t == 0) other.Write("other %d", i);
            }
        });
    }
    for (std::thread& t : threads) t.join();

    std::regex sharedLine(std::string(kPlainStamp) + "thread \\d line \\d+ " + payload + "\r\r\n");
    std::vector<std::string> lines = LinesOf(tftest::ReadFileBytes(dir.File("shared.log")));
    ASSERT_EQ(lines.size(), 400u);
    for (const std::string& line : lines) ASSERT_TRUE(std::regex_match(line, sharedLine)) << line;
    std::regex otherLine(std::string(kPlainStamp) + "other \\d+\r\r\n");
    lines = LinesOf(tftest::ReadFileBytes(dir.File("other.log")));
    ASSERT_EQ(lines.size(), 100u);
    for (const std::string& line : lines) ASSERT_TRUE(std::regex_match(line, otherLine)) << line;
}

TEST(TfLoggingFile, ShowInEditorStartsNotepadWithTheFile) {
    tftest::ScratchDir dir;
    tftest::ScopedEnv record("TVX_NOTEPAD_RECORD", dir.File("notepad.txt"));
    char previous[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, previous);
    // The stand-in is found through the current directory, as the real one through the path.
    ASSERT_TRUE(SetCurrentDirectoryA((tftest::ExeDir() + "tf-standin").c_str()));
    CLoggingFile log;
    log.SetFileName(dir.File("shown.log").c_str());
    DWORD pid = log.ShowInEditor();
    SetCurrentDirectoryA(previous);
    EXPECT_NE(pid, 0u);
    ASSERT_TRUE(tftest::WaitUntil(
        [&] { return tftest::ReadFileBytes(dir.File("notepad.txt")).find('\n') != std::string::npos; }, 5000));
    EXPECT_EQ(tftest::ReadFileBytes(dir.File("notepad.txt")), "NOTEPAD.EXE " + dir.File("shown.log") + "\r\n");
}
