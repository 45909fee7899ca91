// lineInitializeEx, phoneInitializeEx, lineShutdown, phoneShutdown.
#include <string>

#include "AsyncRequests.h"
#include "Delivery.h"
#include "EntryPoint.h"
#include "SimText.h"
#include "Versions.h"

namespace tapisim {

namespace {

struct SessionErrors {
    DWORD invalPointer, structureTooSmall, operationUnavail, operationFailed, invalAppHandle;
};
const SessionErrors kLineErrors = {LINEERR_INVALPOINTER, LINEERR_STRUCTURETOOSMALL, LINEERR_OPERATIONUNAVAIL,
                                   LINEERR_OPERATIONFAILED, LINEERR_INVALAPPHANDLE};
const SessionErrors kPhoneErrors = {PHONEERR_INVALPOINTER, PHONEERR_STRUCTURETOOSMALL, PHONEERR_OPERATIONUNAVAIL,
                                    PHONEERR_OPERATIONFAILED, PHONEERR_INVALAPPHANDLE};

std::wstring ModuleName() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name = path;
    std::size_t slash = name.find_last_of(L"\\/");
    return slash == std::wstring::npos ? name : name.substr(slash + 1);
}

// Line and phone parameter blocks have the same layout. Only the hidden-window mechanism exists here.
LONG CheckParams(LINEINITIALIZEEXPARAMS* params, const SessionErrors& errors) {
    if (!params) return 0;
    if (params->dwTotalSize < sizeof(LINEINITIALIZEEXPARAMS)) return errors.structureTooSmall;
    params->dwNeededSize = sizeof(LINEINITIALIZEEXPARAMS);
    params->dwUsedSize = sizeof(LINEINITIALIZEEXPARAMS);
    DWORD mechanism = params->dwOptions & ~LINEINITIALIZEEXOPTION_CALLHUBTRACKING;
    return mechanism == LINEINITIALIZEEXOPTION_USEHIDDENWINDOW ? 0 : errors.operationUnavail;
}

LONG Initialize(bool phone, DWORD* handleOut, LINECALLBACK callback, std::wstring name, LPDWORD numDevs,
                LPDWORD apiVersion, void* params) {
    const SessionErrors& errors = phone ? kPhoneErrors : kLineErrors;
    JournalLine line(phone ? "phoneInitializeEx" : "lineInitializeEx");
    line.NamedHex("api", apiVersion).Raw(params ? "params=set" : "params=null");
    return RunEntry(line, [&](Sim& sim) -> LONG {
        if (!handleOut || !numDevs || !apiVersion || !callback) return errors.invalPointer;
        LONG checked = CheckParams(static_cast<LINEINITIALIZEEXPARAMS*>(params), errors);
        if (checked) return checked;
        HWND window = CreateAppWindow();
        if (!window) return errors.operationFailed;
        std::lock_guard<std::recursive_mutex> guard(sim.lock);
        App app;
        app.handle = sim.NewHandle();
        app.phone = phone;
        app.window = window;
        app.thread = GetCurrentThreadId();
        app.callback = callback;
        app.name = name.empty() ? ModuleName() : name;
        sim.apps[app.handle] = app;
        *handleOut = app.handle;
        if (phone)
            *numDevs = static_cast<DWORD>(sim.phones.size());
        else
            *numDevs = sim.reportedLineCount ? sim.reportedLineCount : static_cast<DWORD>(sim.lines.size());
        *apiVersion = kTapiVersion;
        return 0;
    });
}

LONG Shutdown(bool phone, DWORD handle) {
    JournalLine line(phone ? "phoneShutdown" : "lineShutdown");
    line.Dec(handle);
    return RunEntry(line, [&](Sim& sim) -> LONG {
        HWND window;
        DWORD thread;
        {
            std::lock_guard<std::recursive_mutex> guard(sim.lock);
            App* app = sim.FindApp(handle, phone);
            if (!app) return phone ? PHONEERR_INVALAPPHANDLE : LINEERR_INVALAPPHANDLE;
            window = app->window;
            thread = app->thread;
            std::vector<DWORD> opens;
            for (auto& entry : sim.openLines)
                if (entry.second.app == handle) opens.push_back(entry.first);
            for (DWORD hLine : opens) sim.ForgetOpenLine(hLine);
            for (auto it = sim.openPhones.begin(); it != sim.openPhones.end();)
                it = (it->second.app == handle) ? sim.openPhones.erase(it) : std::next(it);
            DropCompletionsOf(sim, handle);
            sim.requests.DropOwner(handle);
            sim.apps.erase(handle);  // queued messages go with it
        }
        DestroyAppWindow(window, thread);
        return 0;
    });
}

}  // namespace
}  // namespace tapisim

using namespace tapisim;

extern "C" {

LONG WINAPI lineInitializeExA(LPHLINEAPP lphLineApp, HINSTANCE, LINECALLBACK lpfnCallback, LPCSTR lpszFriendlyAppName,
                              LPDWORD lpdwNumDevs, LPDWORD lpdwAPIVersion, LPLINEINITIALIZEEXPARAMS lpParams) {
    return Initialize(false, lphLineApp, lpfnCallback, WideFromAnsi(lpszFriendlyAppName), lpdwNumDevs, lpdwAPIVersion,
                      lpParams);
}

LONG WINAPI lineInitializeExW(LPHLINEAPP lphLineApp, HINSTANCE, LINECALLBACK lpfnCallback, LPCWSTR lpszFriendlyAppName,
                              LPDWORD lpdwNumDevs, LPDWORD lpdwAPIVersion, LPLINEINITIALIZEEXPARAMS lpParams) {
    return Initialize(false, lphLineApp, lpfnCallback, lpszFriendlyAppName ? lpszFriendlyAppName : L"", lpdwNumDevs,
                      lpdwAPIVersion, lpParams);
}

LONG WINAPI phoneInitializeExA(LPHPHONEAPP lphPhoneApp, HINSTANCE, PHONECALLBACK lpfnCallback,
                               LPCSTR lpszFriendlyAppName, LPDWORD lpdwNumDevs, LPDWORD lpdwAPIVersion,
                               LPPHONEINITIALIZEEXPARAMS lpParams) {
    return Initialize(true, lphPhoneApp, lpfnCallback, WideFromAnsi(lpszFriendlyAppName), lpdwNumDevs, lpdwAPIVersion,
                      lpParams);
}

LONG WINAPI phoneInitializeExW(LPHPHONEAPP lphPhoneApp, HINSTANCE, PHONECALLBACK lpfnCallback,
                               LPCWSTR lpszFriendlyAppName, LPDWORD lpdwNumDevs, LPDWORD lpdwAPIVersion,
                               LPPHONEINITIALIZEEXPARAMS lpParams) {
    return Initialize(true, lphPhoneApp, lpfnCallback, lpszFriendlyAppName ? lpszFriendlyAppName : L"", lpdwNumDevs,
                      lpdwAPIVersion, lpParams);
}

LONG WINAPI lineShutdown(HLINEAPP hLineApp) { return Shutdown(false, hLineApp); }
LONG WINAPI phoneShutdown(HPHONEAPP hPhoneApp) { return Shutdown(true, hPhoneApp); }

}  // extern "C"
