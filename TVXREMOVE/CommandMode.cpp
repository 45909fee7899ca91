#include "CommandMode.h"

RemoveMode ChooseMode(const char* pszCommandTail) {
    if (!pszCommandTail || pszCommandTail[0] == '\0') return RemoveMode::None;
    switch (pszCommandTail[1]) {
    case 'I':
    case 'i':
        return RemoveMode::Install;
    case 'U':
    case 'u':
        return RemoveMode::Uninstall;
    default:
        return RemoveMode::None;
    }
}
