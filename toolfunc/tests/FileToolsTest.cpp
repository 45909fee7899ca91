// File and directory operations on real files.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "toolfunc/FileTools.h"

using tftest::ScratchDir;

TEST(TfFileTools, FileFacts) {
    ScratchDir dir;
    ASSERT_TRUE(tftest::WriteFileBytes(dir.File("a.txt"), std::string(1234, 'a')));
    EXPECT_TRUE(IsDirectory(dir.Path().c_str()));
    EXPECT_FALSE(IsDirectory(dir.File("a.txt").c_str()));
    EXPECT_FALSE(IsDirectory(dir.File("none").c_str()));
    EXPECT_EQ(GetFileSize32(dir.File("a.txt").c_str()), 1234u);
    EXPECT_EQ(GetFileSize32(dir.File("*.txt").c_str()), 1234u);  // first match
    EXPECT_EQ(GetFileSize32(dir.File("none").c_str()), 0u);

    HANDLE h = CreateFileA(dir.File("a.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FILETIME ft = {0x12345600, 0x01D5ABCD};
    SetFileTime(h, NULL, NULL, &ft);
    // Read without sharing: refused while another handle is open.
    EXPECT_EQ(GetFileWriteTime(dir.File("a.txt").c_str()), 0u);
    CloseHandle(h);
    EXPECT_EQ(GetFileWriteTime(dir.File("a.txt").c_str()), 0x01D5ABCD12345600ull);
    EXPECT_EQ(GetFileWriteTime(dir.File("none").c_str()), 0u);
}

TEST(TfFileTools, DirectoryTreesAndChains) {
    ScratchDir dir;
    std::string tree = dir.File("tree");
    ASSERT_TRUE(CreateDirectoryChain((tree + "\\a\\b\\c").c_str()));
    EXPECT_TRUE(CreateDirectoryChain((tree + "\\a\\b\\c\\").c_str()));  // exists already
    EXPECT_TRUE(IsDirectory((tree + "\\a\\b\\c").c_str()));
    tftest::WriteFileBytes(tree + "\\top.txt", "x");
    tftest::WriteFileBytes(tree + "\\a\\b\\deep.txt", "y");
    EXPECT_TRUE(DeleteDirectoryTree(tree.c_str()));
    EXPECT_FALSE(tftest::FileExists(tree));

    // Directories whose names begin with "." are left alone, so their parent stays too.
    CreateDirectoryChain((tree + "\\.keep").c_str());
    tftest::WriteFileBytes(tree + "\\gone.txt", "z");
    EXPECT_FALSE(DeleteDirectoryTree(tree.c_str()));
    EXPECT_TRUE(IsDirectory((tree + "\\.keep").c_str()));
    EXPECT_FALSE(tftest::FileExists(tree + "\\gone.txt"));

    std::string chain = dir.File("chain");
    CreateDirectoryChain((chain + "\\x\\y\\z").c_str());
    tftest::WriteFileBytes(chain + "\\x\\stay.txt", "s");
    EXPECT_EQ(RemoveDirectoryChain((chain + "\\x\\y\\z\\").c_str()), 2);  // z and y; x is not empty
    EXPECT_TRUE(IsDirectory((chain + "\\x").c_str()));
    DeleteFileA((chain + "\\x\\stay.txt").c_str());
    // x and chain go; the scratch folder above still holds "tree".
    EXPECT_EQ(RemoveDirectoryChain((chain + "\\x").c_str()), 2);
}

TEST(TfFileTools, WindowTextRoundTripByteForByte) {
    ScratchDir dir;
    HWND text = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, NULL, NULL, NULL, NULL);
    ASSERT_NE(text, (HWND)NULL);
    const std::string content =
        "line1\r\nline2\tx\r\nGr\xfc\xdf"
        "e";
    tftest::WriteFileBytes(dir.File("in.txt"), content);
    EXPECT_TRUE(LoadFileToWindow(text, dir.File("in.txt").c_str()));
    char back[256] = "";
    GetWindowTextA(text, back, sizeof back);
    EXPECT_EQ(std::string(back), content);
    EXPECT_TRUE(SaveWindowToFile(text, dir.File("out.txt").c_str()));
    EXPECT_EQ(tftest::ReadFileBytes(dir.File("out.txt")), content);

    tftest::WriteFileBytes(dir.File("big.txt"), std::string(70000, 'b'));
    EXPECT_TRUE(LoadFileToWindow(text, dir.File("big.txt").c_str()));
    EXPECT_EQ(GetWindowTextLengthA(text), 65536);

    EXPECT_FALSE(LoadFileToWindow(text, dir.File("none.txt").c_str()));
    EXPECT_EQ(GetWindowTextLengthA(text), 0);
    DestroyWindow(text);
}

TEST(TfFileTools, CopyFilesToSystemAndBack) {
    const std::string stem = tftest::UniqueName("tf_copy_");
    const std::string a = stem + "_a.dll", b = stem + "_b.exe", help = stem + ".chm";
    const std::string exe = tftest::ExeDir(), system = tftest::SystemDir() + "\\";
    const std::string helpDir = tftest::WindowsDir() + "\\help\\";
    CreateDirectoryA(helpDir.c_str(), NULL);
    tftest::WriteFileBytes(exe + a, "AAA");
    tftest::WriteFileBytes(exe + b, "BBB");
    tftest::WriteFileBytes(exe + help, "HHH");

    CopyFilesToSystem(a.c_str(), b.c_str(), help.c_str());
    EXPECT_EQ(tftest::ReadFileBytes(system + a), "AAA");
    EXPECT_EQ(tftest::ReadFileBytes(system + b), "BBB");
    EXPECT_EQ(tftest::ReadFileBytes(helpDir + help), "HHH");
    tftest::WriteFileBytes(exe + a, "NEW");
    CopyFilesToSystem(a.c_str(), NULL, NULL);  // overwrites; null names are skipped
    EXPECT_EQ(tftest::ReadFileBytes(system + a), "NEW");

    RemoveFilesFromSystem(a.c_str(), b.c_str(), help.c_str());
    EXPECT_FALSE(tftest::FileExists(system + a));
    EXPECT_FALSE(tftest::FileExists(system + b));
    EXPECT_FALSE(tftest::FileExists(helpDir + help));
    EXPECT_TRUE(tftest::FileExists(exe + a));  // the originals stay
    for (const std::string& name : {a, b, help}) DeleteFileA((exe + name).c_str());
}

TEST(TfFileTools, RunProgramReturnsTheProcessId) {
    ScratchDir dir;
    tftest::ScopedEnv record("TVX_NOTEPAD_RECORD", dir.File("run.txt"));
    std::string command = "\"" + tftest::ExeDir() + "tf-standin\\NOTEPAD.exe\" one two";
    EXPECT_NE(RunProgram(command.c_str()), 0u);
    EXPECT_TRUE(
        tftest::WaitUntil([&] { return tftest::ReadFileBytes(dir.File("run.txt")) == command + "\r\n"; }, 5000));
    EXPECT_EQ(RunProgram("tf_no_such_program_anywhere.exe"), 0u);
}
