// The simulated PBX's service provider file. TAPI itself is simulated inside tapi32.dll; this
// file only stands in the providers list of the test prefix with a real version resource, as a
// provider's file does on a Windows machine.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
