// A Control Panel applet for the tests: notes each message it receives in the file named by
// TVX_CPL_RECORD.
#include <windows.h>
#include <cpl.h>

#include <cstdio>

static void Note(UINT msg) {
    char path[MAX_PATH];
    if (!GetEnvironmentVariableA("TVX_CPL_RECORD", path, MAX_PATH)) return;
    FILE* f = fopen(path, "a");
    if (f) {
        fprintf(f, "%u\n", msg);
        fclose(f);
    }
}

extern "C" __declspec(dllexport) LONG APIENTRY CPlApplet(HWND, UINT msg, LPARAM, LPARAM lParam2) {
    Note(msg);
    switch (msg) {
    case CPL_INQUIRE: {
        CPLINFO* info = reinterpret_cast<CPLINFO*>(lParam2);
        info->idIcon = 0;
        info->idName = 0;
        info->idInfo = 0;
        info->lData = 0;
        return 0;
    }
    default:
        return 1;
    }
}
