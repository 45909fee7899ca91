// Debugger output observed from outside (the test is the child's debugger), and the boxes
// answered by a driver thread.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "toolfunc/DebugOutput.h"
#include "UiDriver.h"

TOOLFUNC_DEBUG_PREFIX("TFTEST: ");

using tftest::DebugRun;
using tftest::MessageBoxDriver;

namespace {

DebugRun RunChild(const std::string& args) {
    DebugRun run = tftest::RunUnderDebugger("\"" + tftest::ExeDir() + "tf_trace_child.exe\" " + args);
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 7u);
    return run;
}

// The system's message as one debugger line.
std::string AsOneLine(std::string text) {
    if (text.size() > 1 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
    return text + "\n";
}

}  // namespace

TEST(TfDebugTrace, WritesOnlyLevelZeroAndBelowBehindThePrefix) {
    DebugRun run = RunChild("levels");
    EXPECT_EQ(run.lines, (std::vector<std::string>{"TFCHILD: abc\n", "TFCHILD: minus two\n"}));
}

TEST(TfDebugTrace, LineEndsAreNormalised) {
    DebugRun run = RunChild("lineends");
    EXPECT_EQ(run.lines,
              (std::vector<std::string>{"crlf\n", "lf\n\n", "\n\n", "plain\n", "\n", "TFCHILD: dbg crlf\n"}));
}

TEST(TfDebugTrace, LongTextsAreCutAtTheBufferAndStillEndInLf) {
    DebugRun run = RunChild("long");
    ASSERT_EQ(run.lines.size(), 3u);
    EXPECT_EQ(run.lines[0], "TFCHILD: " + std::string(2047 - 9 - 1, 'x') + "\n");
    EXPECT_EQ(run.lines[1], std::string(1023, 'y') + "\n");
    EXPECT_EQ(run.lines[2], "short\r\n\n");  // the short form does not normalise
}

TEST(TfLastError, TraceLastErrorWritesTheSystemTextOnlyForAnError) {
    std::string message = tftest::SystemMessageText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(message.empty());
    DebugRun run = RunChild("error 2");
    EXPECT_EQ(run.lines, (std::vector<std::string>{AsOneLine(message), "end\n"}));
}

TEST(TfLastError, SystemTextsWithPercentSignsComeOutUnchanged) {
    DWORD code = 0;
    std::string message;
    for (DWORD c = 1; c < 16000 && !code; ++c) {
        std::string text = tftest::SystemMessageText(c);
        if (text.find('%') != std::string::npos) {
            code = c;
            message = text;
        }
    }
    if (!code) GTEST_SKIP() << "no system message with a percent sign";
    DebugRun run = RunChild("error " + std::to_string(code));
    ASSERT_EQ(run.lines.size(), 2u);
    EXPECT_EQ(run.lines[0], AsOneLine(message));
}

TEST(TfLastError, GetLastErrorTextGivesTheSystemTextOrNothing) {
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(std::string(GetLastErrorText()), tftest::SystemMessageText(ERROR_ACCESS_DENIED));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    SetLastError(0);
    EXPECT_STREQ(GetLastErrorText(), "");
}

TEST(TfFormatText, FormatsIntoItsOwnBuffer) {
    const char* first = FormatText("%d-%s", 5, "x");
    EXPECT_STREQ(first, "5-x");
    const char* second = FormatText("%s", std::string(3000, 'z').c_str());
    EXPECT_EQ(first, second);  // one static buffer, overwritten by the next call
    EXPECT_EQ(strlen(second), 2047u);
}

TEST(TfBoxes, DebugBoxShowsThePrefixedLineWithoutOwner) {
    MessageBoxDriver driver("DebugBox", IDOK);
    DebugBox(0, "hello %d\r\n", 7);
    tftest::BoxSeen seen = driver.Finish();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.text, "TFTEST: hello 7\n");
    EXPECT_EQ(seen.owner, (HWND)NULL);
    EXPECT_EQ(seen.icon, LoadIconA(NULL, IDI_INFORMATION));

    MessageBoxDriver none("DebugBox", IDOK);
    DebugBox(1, "never shown");  // a shown box would be answered and seen
    EXPECT_FALSE(none.Finish().found);
}

TEST(TfBoxes, ShowLastErrorWarnsOnlyForAnError) {
    MessageBoxDriver driver("Fehler aufgetreten", IDOK);
    SetLastError(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ShowLastError(), IDOK);
    tftest::BoxSeen seen = driver.Finish();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.text, tftest::SystemMessageText(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(seen.owner, (HWND)NULL);
    EXPECT_EQ(seen.icon, LoadIconA(NULL, IDI_WARNING));

    MessageBoxDriver none("Fehler aufgetreten", IDOK);
    SetLastError(0);
    EXPECT_EQ(ShowLastError(), 0);
    EXPECT_FALSE(none.Finish().found);
}

TEST(TfBoxes, ShowMessageUsesOwnerStyleAndReturnsTheAnswer) {
    HWND owner =
        CreateWindowExA(0, "STATIC", "TF Besitzer", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, NULL, NULL, NULL, NULL);
    ASSERT_NE(owner, (HWND)NULL);
    MessageBoxDriver driver("Frage", IDNO);
    EXPECT_EQ(ShowMessage(owner, MB_YESNO | MB_ICONQUESTION, "Frage", "%d Dateien", 3), IDNO);
    tftest::BoxSeen seen = driver.Finish();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.text, "3 Dateien");
    EXPECT_EQ(seen.owner, owner);
    EXPECT_EQ(seen.icon, LoadIconA(NULL, IDI_QUESTION));
    DestroyWindow(owner);
}
