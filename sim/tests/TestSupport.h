// Scaffolding for driving the simulated TAPI as an application does: recording applications,
// a message pump, journal access.
#pragma once

#include <windows.h>
#include <tapi.h>

#include <functional>
#include <string>
#include <vector>

#include "SimTestSupport.h"
#include "tapisim.h"

namespace simtest {

constexpr DWORD kApi = 0x00030001;
constexpr DWORD kOwnerMonitor = LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR;

struct Received {
    DWORD hDevice;
    DWORD message;
    DWORD_PTR instance;
    DWORD_PTR param1;
    DWORD_PTR param2;
    DWORD_PTR param3;
    DWORD thread;  // where the callback ran
};

// A line application initialised on the constructing thread; each of the (at most four)
// applications alive at a time has its own record of the callbacks it got.
class LineApp {
public:
    LineApp();
    ~LineApp();
    LineApp(const LineApp&) = delete;
    LineApp& operator=(const LineApp&) = delete;

    LONG Shutdown();
    // lineOpen with the library's usual arguments; 0 when it fails.
    HLINE Open(DWORD device, DWORD privileges = kOwnerMonitor, DWORD_PTR instance = 0);
    const std::vector<Received>& Messages() const;
    std::vector<Received> MessagesOf(DWORD message) const;

    LONG result = 0;
    HLINEAPP handle = 0;
    DWORD numDevs = 0;
    DWORD api = kApi;

private:
    int m_slot;
    bool m_up = false;
};

// A phone application on the constructing thread (callbacks are not recorded).
struct PhoneApp {
    PhoneApp();
    ~PhoneApp();
    LONG result = 0;
    HPHONEAPP handle = 0;
    DWORD numDevs = 0;
    DWORD api = 0;
};

// A structure buffer of `size` bytes with dwTotalSize set and the rest filled with 0xCD.
std::vector<unsigned char> Buffer(DWORD size);
template <class T>
T* As(std::vector<unsigned char>& buffer) {
    return reinterpret_cast<T*>(buffer.data());
}
// The text a structure locates, as stored (UTF-16 or single-byte, terminator included).
std::wstring WideAt(const void* structure, DWORD offset, DWORD size);
std::string BytesAt(const void* structure, DWORD offset, DWORD size);

}  // namespace simtest
