#include "Delivery.h"

#include "AsyncRequests.h"

namespace tapisim {

namespace {
const wchar_t kWindowClass[] = L"TelvarixSimTapiWindow";
const UINT kDeliverMessage = WM_APP + 0x51;  // wParam: application handle
const UINT kDestroyMessage = WM_APP + 0x52;

HINSTANCE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

bool PostWakeup(App& app) {
    if (!app.window || !PostMessageW(app.window, kDeliverMessage, app.handle, 0)) return false;
    app.wakeupPosted = true;
    return true;
}

// Hands one queued message to the callback; the next one waits for the next wake-up, so other
// window messages of the thread are not starved.
void DeliverOne(HWND window, DWORD appHandle) {
    Sim& sim = TheSim();
    QueuedMessage m;
    LINECALLBACK callback;
    {
        std::lock_guard<std::recursive_mutex> guard(sim.lock);
        auto it = sim.apps.find(appHandle);
        if (it == sim.apps.end() || it->second.window != window) return;  // shut down: dropped
        App& app = it->second;
        app.wakeupPosted = false;
        if (app.queue.empty()) return;
        m = app.queue.front();
        app.queue.pop_front();
        if (!app.queue.empty()) PostWakeup(app);
        callback = app.callback;
        if (m.request) {
            // May post to this very queue and shut nothing down: `app` is not used after it.
            RunQueuedCompletion(sim, m.request);
            return;
        }
    }
    callback(m.hDevice, m.message, m.instance, m.param1, m.param2, m.param3);
}

LRESULT CALLBACK AppWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kDeliverMessage) {
        DeliverOne(window, static_cast<DWORD>(wParam));
        return 0;
    }
    if (message == kDestroyMessage) {
        DestroyWindow(window);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterWindowClass() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = AppWindowProc;
    wc.hInstance = ThisModule();
    wc.lpszClassName = kWindowClass;
    return RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}
}  // namespace

HWND CreateAppWindow() {
    static const bool registered = RegisterWindowClass();
    if (!registered) return nullptr;
    return CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, ThisModule(), nullptr);
}

void DestroyAppWindow(HWND window, DWORD thread) {
    if (!window) return;
    if (thread == GetCurrentThreadId())
        DestroyWindow(window);
    else
        PostMessageW(window, kDestroyMessage, 0, 0);
}

void Post(App& app, const QueuedMessage& message) {
    app.queue.push_back(message);
    if (!app.wakeupPosted) PostWakeup(app);
}

LONG BeginRequest(Sim& sim, DWORD app) {
    uint32_t id = sim.requests.Begin(app);
    return id ? static_cast<LONG>(id) : LINEERR_RESOURCEUNAVAIL;
}

bool PostReply(Sim& sim, DWORD app, DWORD requestId, LONG result) {
    uint32_t owner = 0;
    if (!sim.requests.OwnerOf(requestId, &owner) || owner != app) return false;
    sim.requests.End(requestId);
    App* target = sim.FindApp(app, false);
    if (!target) return false;
    Post(*target, {0, LINE_REPLY, 0, requestId, static_cast<DWORD_PTR>(static_cast<DWORD>(result)), 0});
    return true;
}

}  // namespace tapisim
