// Child program of the debug output tests: runs one case of the library's debugger output
// while the test watches it as its debugger. It has no version resource on purpose.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "toolfunc/DebugOutput.h"

TOOLFUNC_DEBUG_PREFIX("TFCHILD: ");

int main(int argc, char** argv) {
    const char* mode = argc > 1 ? argv[1] : "";
    if (!strcmp(mode, "levels")) {
        DebugTrace(1, "hidden %d", 1);
        DebugTrace(0, "abc");
        DebugTrace(-2, "minus %s", "two");
        DebugTrace(5, "hidden too");
    } else if (!strcmp(mode, "lineends")) {
        TraceText("crlf\r\n");
        TraceText("lf\n");
        TraceText("\n");
        TraceText("plain");
        TraceText("\r\n");
        DebugTrace(0, "dbg crlf\r\n");
    } else if (!strcmp(mode, "long")) {
        std::string text(3000, 'x');
        DebugTrace(0, "%s", text.c_str());
        TraceTextShort("%s", std::string(2000, 'y').c_str());
        TraceTextShort("short\r\n");
    } else if (!strcmp(mode, "error") && argc > 2) {
        SetLastError(strtoul(argv[2], NULL, 10));
        TraceLastError();
        SetLastError(0);
        TraceLastError();
        TraceText("end");
    }
    return 7;
}
