// TELVARIX.EXE: the Telvarix service. Without arguments it runs under the service control
// manager; with --console it runs in the console until Ctrl+C.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "HostRun.h"
#include "ServiceMode.h"
#include "toolfunc/DebugOutput.h"

TOOLFUNC_DEBUG_PREFIX("TELVARIX: ");

namespace {

const char kUsage[] =
    "usage: TELVARIX.EXE                 run as the service \"Telvarix\" (started by the service manager)\n"
    "       TELVARIX.EXE --console [--port N] [--ini FILE] [--seconds N] [--show-events]\n"
    "                                    run in this console until Ctrl+C (or N seconds);\n"
    "                                    --console may be left out when other options follow\n"
    "       TELVARIX.EXE --install | --remove\n"
    "                                    register or remove the service\n";

BOOL WINAPI ConsoleHandler(DWORD) {
    RequestStop();
    return TRUE;
}

void ShowConsoleStart(unsigned port) {
    std::printf(
        "Telvarix is running in the console on port %u. Connect with:  nc 127.0.0.1 %u\n"
        "then type  help  or  {Cmd:MonitorStart}{Ext:201}  (Ctrl+C stops the service).\n",
        port, port);
    std::fflush(stdout);
}

bool ParseNumber(const char* pszText, unsigned long& value) {
    char* end = nullptr;
    value = std::strtoul(pszText, &end, 10);
    return *pszText && *end == '\0';
}

int RunConsole(int argc, char** argv) {
    RunOptions options;
    options.bConsole = true;
    for (int i = 1; i < argc; ++i) {
        if (i == 1 && !std::strcmp(argv[i], "--console")) continue;
        unsigned long value = 0;
        if (!std::strcmp(argv[i], "--port") && i + 1 < argc && ParseNumber(argv[i + 1], value) && value > 0 &&
            value < 65536) {
            options.port = static_cast<unsigned>(value);
            ++i;
        } else if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc && ParseNumber(argv[i + 1], value)) {
            options.dwSeconds = value;
            ++i;
        } else if (!std::strcmp(argv[i], "--show-events")) {
            options.bShowEvents = true;
        } else if (!std::strcmp(argv[i], "--ini") && i + 1 < argc) {
            options.settingsPath = argv[++i];
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    SetConsoleCtrlHandler(ConsoleHandler, TRUE);
    return RunHost(options, ShowConsoleStart);
}

}  // namespace

int main(int argc, char** argv) {
    // Buffered, and flushed after each line: one write per line, not one per character.
    std::setvbuf(stdout, nullptr, _IOFBF, 4096);
    if (argc == 2 && !std::strcmp(argv[1], "--install")) return InstallService();
    if (argc == 2 && !std::strcmp(argv[1], "--remove")) return RemoveService();
    if (argc >= 2) return RunConsole(argc, argv);
    if (RunAsService()) return 0;
    if (GetLastError() == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) std::fputs(kUsage, stderr);
    return 2;
}
