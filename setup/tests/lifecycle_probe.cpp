// The life-cycle test's eyes inside the prefix.
//   lifecycle_probe config NAME   the service's configuration as "sc qc" shows it, plus its
//                                 description; exit code 1 if the service is not installed
//   lifecycle_probe applet        "marked=N foreground=0|1 iconic=0|1" for the windows that
//                                 carry the applet marker
//   lifecycle_probe minimize      minimizes the marked window (exit code 1 if there is none)
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "toolfunc/ProductNames.h"

namespace {

const char* TypeText(DWORD type) {
    return (type & SERVICE_WIN32_OWN_PROCESS) ? "WIN32_OWN_PROCESS" : "WIN32_SHARE_PROCESS";
}

const char* StartText(DWORD start) {
    static const char* const kNames[] = {"BOOT_START", "SYSTEM_START", "AUTO_START", "DEMAND_START", "DISABLED"};
    return start < 5 ? kNames[start] : "?";
}

// A list of names ended by an empty name, as "a / b".
std::string NameList(const char* list) {
    std::string text;
    for (const char* p = list; p && *p; p += strlen(p) + 1) text += (text.empty() ? "" : " / ") + std::string(p);
    return text;
}

// The dependencies as stored, for a query that leaves them out.
std::string StoredDependencies(const char* service) {
    std::string key = std::string("SYSTEM\\CurrentControlSet\\Services\\") + service;
    char buffer[1024] = {};
    DWORD size = sizeof buffer - 2;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), "DependOnService", RRF_RT_REG_MULTI_SZ, NULL, buffer, &size) !=
        ERROR_SUCCESS)
        return std::string();
    return NameList(buffer);
}

int PrintConfig(const char* service) {
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT);
    SC_HANDLE handle = manager ? OpenServiceA(manager, service, SERVICE_QUERY_CONFIG) : NULL;
    if (!handle) {
        printf("[SC] OpenService FAILED %lu\n", GetLastError());
        if (manager) CloseServiceHandle(manager);
        return 1;
    }
    std::vector<char> buffer(8192), extra(4096);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    auto* description = reinterpret_cast<SERVICE_DESCRIPTIONA*>(extra.data());
    DWORD needed = 0;
    BOOL ok = QueryServiceConfigA(handle, config, static_cast<DWORD>(buffer.size()), &needed);
    BOOL okDescription = QueryServiceConfig2A(handle, SERVICE_CONFIG_DESCRIPTION, reinterpret_cast<BYTE*>(description),
                                              static_cast<DWORD>(extra.size()), &needed);
    CloseServiceHandle(handle);
    CloseServiceHandle(manager);
    if (!ok) {
        printf("[SC] QueryServiceConfig FAILED %lu\n", GetLastError());
        return 1;
    }
    std::string dependencies = NameList(config->lpDependencies);
    if (dependencies.empty()) dependencies = StoredDependencies(service);
    printf("[SC] QueryServiceConfig SUCCESS\n\n");
    printf("SERVICE_NAME: %s\n", service);
    printf("        TYPE               : %lx  %s%s\n", config->dwServiceType, TypeText(config->dwServiceType),
           (config->dwServiceType & SERVICE_INTERACTIVE_PROCESS) ? " (interactive)" : "");
    printf("        START_TYPE         : %lu   %s\n", config->dwStartType, StartText(config->dwStartType));
    printf("        ERROR_CONTROL      : %lu   %s\n", config->dwErrorControl,
           config->dwErrorControl == SERVICE_ERROR_NORMAL ? "NORMAL" : "?");
    printf("        BINARY_PATH_NAME   : %s\n", config->lpBinaryPathName);
    printf("        LOAD_ORDER_GROUP   : %s\n", config->lpLoadOrderGroup ? config->lpLoadOrderGroup : "");
    printf("        TAG                : %lu\n", config->dwTagId);
    printf("        DISPLAY_NAME       : %s\n", config->lpDisplayName);
    printf("        DEPENDENCIES       : %s\n", dependencies.c_str());
    printf("        SERVICE_START_NAME : %s\n", config->lpServiceStartName);
    printf("        DESCRIPTION        : %s\n",
           okDescription && description->lpDescription ? description->lpDescription : "");
    return 0;
}

struct Marked {
    int count = 0;
    HWND first = NULL;
};

BOOL CALLBACK Collect(HWND hWnd, LPARAM lParam) {
    auto* marked = reinterpret_cast<Marked*>(lParam);
    if (GetWindowLongPtrA(hWnd, GWLP_USERDATA) == APPLET_WINDOW_MARKER) {
        if (!marked->first) marked->first = hWnd;
        ++marked->count;
    }
    return TRUE;
}

Marked FindMarked() {
    Marked marked;
    EnumChildWindows(GetDesktopWindow(), Collect, reinterpret_cast<LPARAM>(&marked));
    return marked;
}

int PrintApplet() {
    Marked marked = FindMarked();
    HWND foreground = GetForegroundWindow();
    bool isFront = marked.first && (foreground == marked.first || GetAncestor(marked.first, GA_ROOT) == foreground);
    printf("marked=%d foreground=%d iconic=%d\n", marked.count, isFront ? 1 : 0,
           marked.first && IsIconic(GetAncestor(marked.first, GA_ROOT)) ? 1 : 0);
    return 0;
}

int MinimizeApplet() {
    Marked marked = FindMarked();
    if (!marked.first) return 1;
    ShowWindow(GetAncestor(marked.first, GA_ROOT), SW_MINIMIZE);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, NULL, _IONBF, 0);
    if (argc == 3 && strcmp(argv[1], "config") == 0) return PrintConfig(argv[2]);
    if (argc == 2 && strcmp(argv[1], "applet") == 0) return PrintApplet();
    if (argc == 2 && strcmp(argv[1], "minimize") == 0) return MinimizeApplet();
    fprintf(stderr, "usage: lifecycle_probe config NAME | applet | minimize\n");
    return 2;
}
