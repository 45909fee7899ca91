// Playing into and recording from calls on worker threads, one job per line at a time, so the
// thread that pumps the telephony and socket messages never waits for a sound to end.
// Completions come back on the thread that created the object, through a hidden window.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <string>
#include <thread>

class CLineDevice;

struct MediaJob {
    enum Kind { Play, Record } kind;
    SOCKET client;
    std::string invokeId;
    std::string ext;
    std::string fileName;  // as the client named it
    std::string path;      // inside the media folder
    CLineDevice* pDevice;
    DWORD hCall;
    std::uint32_t bytes;  // recording buffer
};

struct MediaJobResult {
    MediaJob job;
    bool bSuccess;
    std::uint32_t recordedBytes;  // data bytes of the written recording
};

class MediaJobs {
public:
    typedef std::function<void(const MediaJobResult&)> DoneHandler;

    explicit MediaJobs(DoneHandler onDone);
    ~MediaJobs();

    bool IsLineBusy(const std::string& ext) const { return m_running.count(ext) != 0; }
    std::size_t RunningCount() const { return m_running.size(); }
    // False when no thread could be started; the job is then not running.
    bool Start(const MediaJob& job);
    // The client has gone: its jobs finish without an answer.
    void DropClient(SOCKET s);
    // Waits up to dwMs, handling messages meanwhile, for every job to end. False when some still
    // run: their line devices must then outlive the telephony object's shutdown.
    bool WaitForAll(DWORD dwMs);

private:
    MediaJobs(const MediaJobs&) = delete;
    MediaJobs& operator=(const MediaJobs&) = delete;
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static void Run(HWND hWnd, MediaJob job);
    void Finish(MediaJobResult* pResult);

    DoneHandler m_onDone;
    HWND m_hWnd;
    struct Running {
        std::thread thread;
        SOCKET client;
        bool bClientGone;  // finishes without an answer: the socket may belong to someone else now
    };
    std::map<std::string, Running> m_running;  // by extension
};
