// Scoped guards for the locks and handles of every Telvarix library and program: whatever path
// leaves a scope, the lock is left and the handle closed exactly once.
//
// Each guard is move-only. get() reads the handle, release() gives it up without closing it,
// reset() closes it now (or takes over another one). Closing keeps the thread's last error, so a
// function may set its error and return while its guards close.
#pragma once

#include <winsock2.h>
#include <windows.h>

namespace tvx {

// The handle guards need the platform's handles. The service's logic, also built natively for its
// unit tests against a few stand-in Win32 names, uses only the lock.
#ifdef _WIN32

// A handle and the rule that closes it.
template <class Traits>
class ScopedHandle {
public:
    using Handle = typename Traits::Handle;

    ScopedHandle() noexcept : m_h(Traits::Invalid()) {}
    explicit ScopedHandle(Handle h) noexcept : m_h(h) {}
    ~ScopedHandle() { reset(); }

    ScopedHandle(ScopedHandle&& other) noexcept : m_h(other.release()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    Handle get() const noexcept { return m_h; }
    explicit operator bool() const noexcept { return Traits::Valid(m_h); }

    // For functions that hand a new handle out through a pointer: the old one is closed first.
    Handle* put() noexcept {
        reset();
        return &m_h;
    }

    Handle release() noexcept {
        Handle h = m_h;
        m_h = Traits::Invalid();
        return h;
    }

    void reset(Handle h = Traits::Invalid()) noexcept {
        if (Traits::Valid(m_h) && m_h != h) {
            DWORD dwError = GetLastError();
            Traits::Close(m_h);
            SetLastError(dwError);
        }
        m_h = h;
    }

private:
    Handle m_h;
};

struct RegKeyTraits {
    using Handle = HKEY;
    static HKEY Invalid() { return nullptr; }
    static bool Valid(HKEY h) { return h != nullptr; }
    static void Close(HKEY h) { RegCloseKey(h); }
};

struct ServiceHandleTraits {
    using Handle = SC_HANDLE;
    static SC_HANDLE Invalid() { return nullptr; }
    static bool Valid(SC_HANDLE h) { return h != nullptr; }
    static void Close(SC_HANDLE h) { CloseServiceHandle(h); }
};

// Kernel handles: CreateFile fails with INVALID_HANDLE_VALUE, most others with null.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};

struct SocketTraits {
    using Handle = SOCKET;
    static SOCKET Invalid() { return INVALID_SOCKET; }
    static bool Valid(SOCKET s) { return s != INVALID_SOCKET; }
    static void Close(SOCKET s) { closesocket(s); }
};

using ScopedRegKey = ScopedHandle<RegKeyTraits>;
using ScopedServiceHandle = ScopedHandle<ServiceHandleTraits>;
using ScopedKernelHandle = ScopedHandle<KernelHandleTraits>;
using ScopedFile = ScopedKernelHandle;
using ScopedSocket = ScopedHandle<SocketTraits>;

#endif  // _WIN32

// Holds a critical section from construction to the end of the scope (or to reset()).
class ScopedLock {
public:
    explicit ScopedLock(CRITICAL_SECTION* pLock) noexcept : m_pLock(pLock) {
        if (m_pLock) EnterCriticalSection(m_pLock);
    }
    ~ScopedLock() { reset(); }

    ScopedLock(ScopedLock&& other) noexcept : m_pLock(other.release()) {}
    ScopedLock& operator=(ScopedLock&& other) noexcept {
        if (this != &other) {
            reset();
            m_pLock = other.release();
        }
        return *this;
    }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

    CRITICAL_SECTION* get() const noexcept { return m_pLock; }

    // The caller takes over leaving the section.
    CRITICAL_SECTION* release() noexcept {
        CRITICAL_SECTION* pLock = m_pLock;
        m_pLock = nullptr;
        return pLock;
    }

    // Leaves the section now; a given section is entered and held instead.
    void reset(CRITICAL_SECTION* pLock = nullptr) noexcept {
        if (m_pLock) LeaveCriticalSection(m_pLock);
        m_pLock = pLock;
        if (m_pLock) EnterCriticalSection(m_pLock);
    }

private:
    CRITICAL_SECTION* m_pLock;
};

}  // namespace tvx
