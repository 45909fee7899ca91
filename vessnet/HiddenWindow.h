// The hidden window that receives socket notifications and the keep-alive timer.
#pragma once

#include <windows.h>

namespace vessnet {

// Registered on every start; a second registration of the same name fails harmlessly.
void RegisterHiddenWindowClass(const char* name, WNDPROC proc);
// Created hidden; null when the system refuses (then asynchronous selection fails too).
HWND CreateHiddenWindow(const char* name);

}  // namespace vessnet
