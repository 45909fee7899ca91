// Stand-in for NOTEPAD.EXE: appends its command line to the file named by
// TVX_NOTEPAD_RECORD and ends at once, so tests see what an editor would have opened.
#include <windows.h>

#include <cstdio>

int main() {
    char path[MAX_PATH];
    if (!GetEnvironmentVariableA("TVX_NOTEPAD_RECORD", path, MAX_PATH)) return 1;
    FILE* f = fopen(path, "a");
    if (!f) return 1;
    fprintf(f, "%s\n", GetCommandLineA());
    fclose(f);
    return 0;
}
