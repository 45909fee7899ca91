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

// At most this many callbacks per wake-up; the rest wait for the next one, so other window
// messages of the thread are not starved by an application that keeps its queue full.
const int kMaxPerWakeup = 64;

// Takes the next message off the queue, or runs a queued completion, under the lock. False when
// the application is gone or nothing waits: the wake-up is then used up. `wakeupPosted` stays
// set while messages are handed over, so posts made meanwhile (also by the callbacks) join this
// wake-up instead of each posting one of their own.
bool TakeNext(HWND window, DWORD appHandle, bool last, QueuedMessage& m, LINECALLBACK& callback) {
    Sim& sim = TheSim();
    for (;;) {
        std::lock_guard<std::recursive_mutex> guard(sim.lock);
        auto it = sim.apps.find(appHandle);
        if (it == sim.apps.end() || it->second.window != window) return false;  // shut down: dropped
        App& app = it->second;
        if (app.queue.empty()) {
            app.wakeupPosted = false;
            return false;
        }
        m = app.queue.front();
        app.queue.pop_front();
        if (last) {
            app.wakeupPosted = false;
            if (!app.queue.empty()) PostWakeup(app);
        }
        if (!m.request) {
            callback = app.callback;
            return true;
        }
        // May post to this very queue and shut nothing down: `app` is not used after it.
        RunQueuedCompletion(sim, m.request);
        if (last) return false;
    }
}

// Hands the messages due to the callback, one after another and in order, each without the
// simulator's lock held: one window message for all of them, as long as none is pending.
void DeliverDue(HWND window, DWORD appHandle) {
    for (int n = 1; n <= kMaxPerWakeup; ++n) {
        QueuedMessage m;
        LINECALLBACK callback = nullptr;
        if (!TakeNext(window, appHandle, n == kMaxPerWakeup, m, callback)) return;
        callback(m.hDevice, m.message, m.instance, m.param1, m.param2, m.param3);
    }
}

LRESULT CALLBACK AppWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kDeliverMessage) {
        DeliverDue(window, static_cast<DWORD>(wParam));
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
