#include "TestSupport.h"

#include <cstring>

namespace simtest {

namespace {

const int kSlots = 4;
std::vector<Received> g_received[kSlots];
bool g_slotUsed[kSlots];

template <int N>
void CALLBACK Record(DWORD hDevice, DWORD message, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3) {
    g_received[N].push_back({hDevice, message, instance, p1, p2, p3, GetCurrentThreadId()});
}

const LINECALLBACK kCallbacks[kSlots] = {Record<0>, Record<1>, Record<2>, Record<3>};

void CALLBACK IgnorePhone(DWORD, DWORD, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR) {}

}  // namespace

LineApp::LineApp() : m_slot(0) {
    while (m_slot < kSlots - 1 && g_slotUsed[m_slot]) ++m_slot;
    g_slotUsed[m_slot] = true;
    g_received[m_slot].clear();
    result = lineInitializeExA(&handle, nullptr, kCallbacks[m_slot], "simtest", &numDevs, &api, nullptr);
    m_up = result == 0;
}

LineApp::~LineApp() {
    Shutdown();
    g_slotUsed[m_slot] = false;
}

LONG LineApp::Shutdown() {
    if (!m_up) return 0;
    m_up = false;
    return lineShutdown(handle);
}

HLINE LineApp::Open(DWORD device, DWORD privileges, DWORD_PTR instance) {
    HLINE hLine = 0;
    if (lineOpenA(handle, device, &hLine, kApi, 0, instance, privileges, LINEMEDIAMODE_INTERACTIVEVOICE, nullptr) != 0)
        return 0;
    return hLine;
}

const std::vector<Received>& LineApp::Messages() const { return g_received[m_slot]; }

std::vector<Received> LineApp::MessagesOf(DWORD message) const {
    std::vector<Received> out;
    for (const Received& r : Messages())
        if (r.message == message) out.push_back(r);
    return out;
}

PhoneApp::PhoneApp() { result = phoneInitializeExA(&handle, nullptr, IgnorePhone, nullptr, &numDevs, &api, nullptr); }

PhoneApp::~PhoneApp() {
    if (result == 0) phoneShutdown(handle);
}

std::vector<unsigned char> Buffer(DWORD size) {
    std::vector<unsigned char> buffer(size < 4 ? 4 : size, 0xCD);
    std::memcpy(buffer.data(), &size, sizeof size);
    return buffer;
}

std::wstring WideAt(const void* structure, DWORD offset, DWORD size) {
    const wchar_t* p = reinterpret_cast<const wchar_t*>(static_cast<const char*>(structure) + offset);
    return std::wstring(p, size / sizeof(wchar_t));
}

std::string BytesAt(const void* structure, DWORD offset, DWORD size) {
    return std::string(static_cast<const char*>(structure) + offset, size);
}

}  // namespace simtest
