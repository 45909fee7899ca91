// Protocol files in a folder of their own: rotation keeps the previous runs and the level filters.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "ProtocolLog.h"

namespace {

std::string TempFolder() {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    std::string dir = std::string(base) + "tvx_log_test_" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

TEST(HostProtocolLog, RotationStepsMoveOldestFirst) {
    std::vector<RotationStep> steps = RotationSteps("C:\\x\\", "TELVARIX", 2);
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[0].from, "C:\\x\\TELVARIX-2.LOG");
    EXPECT_EQ(steps[0].to, "");
    EXPECT_EQ(steps[1].from, "C:\\x\\TELVARIX-1.LOG");
    EXPECT_EQ(steps[1].to, "C:\\x\\TELVARIX-2.LOG");
    EXPECT_EQ(steps[2].from, "C:\\x\\TELVARIX.LOG");
    EXPECT_EQ(steps[2].to, "C:\\x\\TELVARIX-1.LOG");
}

TEST(HostProtocolLog, EachStartKeepsThePreviousFilesAndWritesOnlyItsLevel) {
    std::string dir = TempFolder();
    for (int run = 1; run <= 6; ++run) {
        ProtocolLog log;
        log.Open(dir, 2);
        log.Write(1, "run %d", run);
        log.Write(2, "traffic %d", run);
        log.Write(3, "trace %d", run);
    }
    std::string current = ReadAll(dir + "TELVARIX.LOG");
    EXPECT_NE(current.find("run 6\r\n"), std::string::npos);
    EXPECT_NE(current.find("traffic 6"), std::string::npos);
    EXPECT_EQ(current.find("trace"), std::string::npos);
    EXPECT_EQ(current.find("run 5"), std::string::npos);
    EXPECT_NE(ReadAll(dir + "TELVARIX-1.LOG").find("run 5"), std::string::npos);
    EXPECT_NE(ReadAll(dir + "TELVARIX-4.LOG").find("run 2"), std::string::npos);
    EXPECT_FALSE(Exists(dir + "TELVARIX-5.LOG"));
    for (const char* name : {"TELVARIX.LOG", "TELVARIX-1.LOG", "TELVARIX-2.LOG", "TELVARIX-3.LOG", "TELVARIX-4.LOG"})
        DeleteFileA((dir + name).c_str());
    RemoveDirectoryA(dir.c_str());
}

TEST(HostProtocolLog, AFullFileMovesOnWhileRunning) {
    std::string dir = TempFolder();
    {
        ProtocolLog log;
        log.Open(dir, 1, 100);
        for (int i = 0; i < 10; ++i) log.Write(1, "line %d with some text", i);
    }
    EXPECT_TRUE(Exists(dir + "TELVARIX-1.LOG"));
    EXPECT_NE(ReadAll(dir + "TELVARIX.LOG").find("line 9"), std::string::npos);
    EXPECT_LT(ReadAll(dir + "TELVARIX.LOG").size(), 400u);
    ProtocolLog off;
    off.Open(dir + "none\\", 0);
    off.Write(1, "nothing");
    EXPECT_FALSE(Exists(dir + "none\\TELVARIX.LOG"));
    for (const char* name : {"TELVARIX.LOG", "TELVARIX-1.LOG", "TELVARIX-2.LOG", "TELVARIX-3.LOG", "TELVARIX-4.LOG"})
        DeleteFileA((dir + name).c_str());
    RemoveDirectoryA(dir.c_str());
}

TEST(HostProtocolLog, AFileThatCannotBeMovedIsContinuedNeverEmptied) {
    std::string dir = TempFolder();
    std::string current = dir + "TELVARIX.LOG";
    std::string older = std::string(49 * 1024, 'o');
    {
        std::ofstream(current, std::ios::binary) << older;
        std::ofstream(dir + "TELVARIX-1.LOG", std::ios::binary) << "first";
    }
    // A viewer holds the previous file open without letting it be renamed or deleted.
    HANDLE held = CreateFileA((dir + "TELVARIX-1.LOG").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    {
        ProtocolLog log;
        log.Open(dir, 1);
        log.Write(1, "after the start");
    }
    CloseHandle(held);
    std::string text = ReadAll(current);
    EXPECT_EQ(text.compare(0, older.size(), older), 0) << "the 49 KB are still there";
    EXPECT_NE(text.find("after the start"), std::string::npos);
    EXPECT_EQ(ReadAll(dir + "TELVARIX-1.LOG"), "first");
    for (const char* name : {"TELVARIX.LOG", "TELVARIX-1.LOG", "TELVARIX-2.LOG", "TELVARIX-3.LOG", "TELVARIX-4.LOG"})
        DeleteFileA((dir + name).c_str());
    RemoveDirectoryA(dir.c_str());
}

namespace {

// The files a run leaves, each line without its time stamp, newest file last.
std::string FilesWithoutTimes(const std::string& dir) {
    std::string all;
    for (const char* name : {"TELVARIX-4.LOG", "TELVARIX-3.LOG", "TELVARIX-2.LOG", "TELVARIX-1.LOG", "TELVARIX.LOG"}) {
        std::istringstream text(ReadAll(dir + name));
        all += std::string("[") + name + "]\n";
        for (std::string line; std::getline(text, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            all += (line.size() > 24 ? line.substr(24) : line) + "\n";
        }
        DeleteFileA((dir + name).c_str());
    }
    RemoveDirectoryA(dir.c_str());
    return all;
}

std::string RunOfLines(const std::string& dir, bool bBatched) {
    CreateDirectoryA(dir.c_str(), nullptr);
    {
        ProtocolLog log;
        log.Open(dir, 1, 100);
        {
            std::unique_ptr<ProtocolLog::Batch> batch(bBatched ? new ProtocolLog::Batch(log) : nullptr);
            for (int i = 0; i < 7; ++i) log.Write(1, "line %d with some text", i);
        }
        for (int i = 7; i < 10; ++i) log.Write(1, "line %d with some text", i);
    }
    return FilesWithoutTimes(dir);
}

}  // namespace

TEST(HostProtocolLog, ABatchLeavesTheSameFilesAsLineByLineAcrossMovesOn) {
    std::string dir = TempFolder();
    std::string single = RunOfLines(dir + "single\\", false);
    std::string batched = RunOfLines(dir + "batched\\", true);
    RemoveDirectoryA(dir.c_str());
    // Small files: the ten lines fill several, so lines held by the batch had to go to the right one.
    EXPECT_NE(single.find("[TELVARIX-2.LOG]\nline"), std::string::npos) << single;
    EXPECT_NE(single.find("line 9 with some text\n"), std::string::npos) << single;
    EXPECT_EQ(batched, single);
}
