// The activation context of this module's manifest (resource 2): Common Controls 6 and the
// platform's window classes for the applet's own calls, whatever the host process uses.
#pragma once

#include <windows.h>

// Creates the module's context once; it stays until ReleaseModuleActivationContext.
void CreateModuleActivationContext(HINSTANCE hModule);
void ReleaseModuleActivationContext();

// Activates the module's context for the lifetime of the object; does nothing if the module
// has no manifest context.
class CActivationScope {
public:
    CActivationScope();
    ~CActivationScope();
    CActivationScope(const CActivationScope&) = delete;
    CActivationScope& operator=(const CActivationScope&) = delete;

private:
    ULONG_PTR m_ulCookie = 0;
    bool m_bActive = false;
};
