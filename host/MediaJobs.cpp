#include "MediaJobs.h"

#include <memory>

#include "LineDevice.h"
#include "toolfunc/ScopedGuards.h"

namespace {

const UINT WM_TVX_MEDIA_DONE = WM_APP + 0x30;
const char kWindowClass[] = "TelvarixMediaJobs";

// Data bytes of a recording as its header states them (the 44-byte header the library writes).
std::uint32_t RecordedDataBytes(const std::string& path) {
    tvx::ScopedFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return 0;
    BYTE header[44] = {};
    DWORD dwRead = 0;
    BOOL bRead = ReadFile(file.get(), header, sizeof header, &dwRead, nullptr);
    if (!bRead || dwRead != sizeof header) return 0;
    return header[40] | (header[41] << 8) | (header[42] << 16) | (static_cast<std::uint32_t>(header[43]) << 24);
}

}  // namespace

MediaJobs::MediaJobs(DoneHandler onDone) : m_onDone(std::move(onDone)), m_hWnd(nullptr) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);
    m_hWnd = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    if (m_hWnd) SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

MediaJobs::~MediaJobs() {
    if (m_hWnd) {
        SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
        DestroyWindow(m_hWnd);
    }
    // Jobs still running post to a window that is gone and end with the process.
    for (auto& entry : m_running) entry.second.thread.detach();
}

bool MediaJobs::Start(const MediaJob& job) {
    if (!m_hWnd || IsLineBusy(job.ext)) return false;
    try {
        m_running[job.ext] = Running{std::thread(Run, m_hWnd, job), job.client, false};
    } catch (...) {
        return false;
    }
    return true;
}

void MediaJobs::Run(HWND hWnd, MediaJob job) {
    std::unique_ptr<MediaJobResult> result(new MediaJobResult{job, false, 0});
    if (job.kind == MediaJob::Play) {
        result->bSuccess = job.pDevice->WavePlayFile(job.hCall, job.path.c_str()) != FALSE;
    } else {
        result->bSuccess = job.pDevice->WaveRecordFile(job.hCall, job.path.c_str(), job.bytes) != FALSE;
        if (result->bSuccess) result->recordedBytes = RecordedDataBytes(job.path);
    }
    if (PostMessageA(hWnd, WM_TVX_MEDIA_DONE, 0, reinterpret_cast<LPARAM>(result.get()))) result.release();
}

LRESULT CALLBACK MediaJobs::WindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_TVX_MEDIA_DONE) return DefWindowProcA(hWnd, msg, wParam, lParam);
    std::unique_ptr<MediaJobResult> result(reinterpret_cast<MediaJobResult*>(lParam));
    MediaJobs* pJobs = reinterpret_cast<MediaJobs*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    if (pJobs) pJobs->Finish(result.get());
    return 0;
}

void MediaJobs::Finish(MediaJobResult* pResult) {
    auto it = m_running.find(pResult->job.ext);
    if (it == m_running.end()) return;
    it->second.thread.join();  // the job has posted its last word: this returns at once
    bool bClientGone = it->second.bClientGone;
    m_running.erase(it);
    if (!bClientGone && m_onDone) m_onDone(*pResult);
}

void MediaJobs::DropClient(SOCKET s) {
    for (auto& entry : m_running)
        if (entry.second.client == s) entry.second.bClientGone = true;
}

bool MediaJobs::WaitForAll(DWORD dwMs) {
    DWORD dwStart = GetTickCount();
    while (!m_running.empty()) {
        DWORD dwElapsed = GetTickCount() - dwStart;
        if (dwElapsed >= dwMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, dwMs - dwElapsed, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return true;
}
