// TVXREMOVE: the product's setup runs it with "/I" to register the service and open the applet,
// and with "/U" to remove them again. No window, no message, always exit code 0.
#include <windows.h>

#include "CommandMode.h"
#include "Procedures.h"
#include "toolfunc/DebugOutput.h"

TOOLFUNC_DEBUG_PREFIX("REMOVE: ");

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int) {
    switch (ChooseMode(lpCmdLine)) {
    case RemoveMode::Install:
        InstallProduct();
        break;
    case RemoveMode::Uninstall:
        UninstallProduct();
        break;
    case RemoveMode::None:
        break;
    }
    return 0;
}
