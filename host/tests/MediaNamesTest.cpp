// The file names and sizes a client may give to PlayFile and RecordFile.
#include <gtest/gtest.h>

#include <string>

#include "MediaNames.h"

using namespace zarn;

TEST(MediaNames, PlainWaveNamesOfTheFolderAreAccepted) {
    for (const char* name : {"hello.wav", "Greeting_2.WAV", "a.wav", "call-201.2026.wav", "9.Wav", "CONSOLE.wav",
                             "COM0.wav", "com10.wav", "LPTX.wav"})
        EXPECT_TRUE(IsSafeMediaName(name)) << name;
    EXPECT_TRUE(IsSafeMediaName(std::string(60, 'x') + ".wav"));
}

TEST(MediaNames, NothingThatLeavesTheFolderOrOpensADevice) {
    for (const char* name : {"",
                             ".wav",
                             "../x.wav",
                             "..\\x.wav",
                             "a/../../x.wav",
                             "a..wav",
                             "sub\\x.wav",
                             "sub/x.wav",
                             "C:x.wav",
                             "C:\\x.wav",
                             "\\\\server\\share\\x.wav",
                             "//server/share/x.wav",
                             "\\x.wav",
                             ".hidden.wav",
                             "-x.wav",
                             "x.wav.",
                             "x.wav ",
                             " x.wav",
                             "x .wav",
                             "x.txt",
                             "x.wave",
                             "x.wav:stream",
                             "x.wav::$DATA",
                             "x*.wav",
                             "x?.wav",
                             "x\".wav",
                             "x<.wav",
                             "x|.wav",
                             "CON.wav",
                             "con.wav",
                             "NUL.wav",
                             "nul.tar.wav",
                             "AUX.wav",
                             "PRN.wav",
                             "COM1.wav",
                             "com9.wav",
                             "LPT1.wav",
                             "lpt3.wav",
                             "CONIN$.wav",
                             "x\t.wav"})
        EXPECT_FALSE(IsSafeMediaName(name)) << name;
    EXPECT_FALSE(IsSafeMediaName(std::string(61, 'x') + ".wav"));
    EXPECT_FALSE(IsSafeMediaName(std::string("x\0.wav", 6)));
}

TEST(MediaNames, PathJoinsFolderAndName) {
    EXPECT_EQ("C:\\media\\a.wav", MediaPath("C:\\media", "a.wav"));
    EXPECT_EQ("C:\\media\\a.wav", MediaPath("C:\\media\\", "a.wav"));
    EXPECT_EQ("Z:/tmp/m/a.wav", MediaPath("Z:/tmp/m/", "a.wav"));
}

TEST(MediaNames, RecordSizesAreOneByteTo16MiB) {
    std::uint32_t bytes = 7;
    EXPECT_TRUE(ParseRecordBytes("1", &bytes));
    EXPECT_EQ(1u, bytes);
    EXPECT_TRUE(ParseRecordBytes("16777216", &bytes));
    EXPECT_EQ(16777216u, bytes);
    EXPECT_TRUE(ParseRecordBytes("000160000", &bytes));
    EXPECT_EQ(160000u, bytes);
    bytes = 7;
    for (const char* text :
         {"", "0", "16777217", "4294967297", "999999999", "1234567890", "-1", "+5", " 5", "5 ", "0x10", "1e3", "12a"})
        EXPECT_FALSE(ParseRecordBytes(text, &bytes)) << text;
    EXPECT_EQ(7u, bytes);
}
