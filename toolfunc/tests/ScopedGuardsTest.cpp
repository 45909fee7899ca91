// The scoped guards: each closes exactly once, hands its handle on when moved or released, and
// keeps the thread's last error when it closes.
#include <gtest/gtest.h>

#include <utility>

#include "TestSupport.h"
#include "toolfunc/ScopedGuards.h"

using tftest::ScratchDir;

namespace {

// Whether the file can be opened now: the guarded handle shares nothing, so it is refused
// while that handle is open.
bool CanOpenAlone(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

HANDLE OpenAlone(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
}

DWORD WINAPI TryLock(LPVOID pLock) {
    CRITICAL_SECTION* cs = static_cast<CRITICAL_SECTION*>(pLock);
    if (!TryEnterCriticalSection(cs)) return 0;
    LeaveCriticalSection(cs);
    return 1;
}

// Whether another thread can take the section now.
bool FreeForOthers(CRITICAL_SECTION* cs) {
    HANDLE h = CreateThread(NULL, 0, TryLock, cs, 0, NULL);
    WaitForSingleObject(h, 5000);
    DWORD dwFree = 0;
    GetExitCodeThread(h, &dwFree);
    CloseHandle(h);
    return dwFree == 1;
}

}  // namespace

TEST(TfScopedGuards, FileHandleClosesOnceAndMovesOn) {
    ScratchDir dir;
    const std::string path = dir.File("guarded.txt");
    ASSERT_TRUE(tftest::WriteFileBytes(path, "x"));

    {
        tvx::ScopedFile file(OpenAlone(path));
        ASSERT_TRUE(file);
        EXPECT_FALSE(CanOpenAlone(path));
    }
    EXPECT_TRUE(CanOpenAlone(path));

    // A move hands the handle on: the moved-from guard closes nothing.
    tvx::ScopedFile outer;
    {
        tvx::ScopedFile inner(OpenAlone(path));
        outer = std::move(inner);
        EXPECT_FALSE(inner);
    }
    EXPECT_FALSE(CanOpenAlone(path));
    outer.reset();
    EXPECT_TRUE(CanOpenAlone(path));

    // Released handles are the caller's.
    HANDLE hKept;
    {
        tvx::ScopedFile file(OpenAlone(path));
        hKept = file.release();
    }
    EXPECT_FALSE(CanOpenAlone(path));
    CloseHandle(hKept);

    // A failed open is never closed.
    tvx::ScopedFile missing(OpenAlone(dir.File("none")));
    EXPECT_FALSE(missing);
}

TEST(TfScopedGuards, ClosingKeepsTheLastError) {
    WSADATA wsa;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 0), &wsa), 0);
    {
        tvx::ScopedRegKey key;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, key.put()), ERROR_SUCCESS);
        ASSERT_TRUE(key);
        tvx::ScopedServiceHandle manager(OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT));
        EXPECT_TRUE(manager);
        tvx::ScopedSocket socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        ASSERT_TRUE(socket);
        // A close that fails itself must not overwrite the error either.
        HANDLE hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
        CloseHandle(hEvent);
        tvx::ScopedKernelHandle stale(hEvent);
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
    }
    DWORD dwAfter = GetLastError();
    EXPECT_EQ(dwAfter, static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    WSACleanup();
}

TEST(TfScopedGuards, SocketIsClosed) {
    WSADATA wsa;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 0), &wsa), 0);
    SOCKET raw;
    {
        tvx::ScopedSocket socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        ASSERT_TRUE(socket);
        raw = socket.get();
        int type = 0, len = sizeof type;
        EXPECT_EQ(getsockopt(raw, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &len), 0);
    }
    int type = 0, len = sizeof type;
    EXPECT_EQ(getsockopt(raw, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &len), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
    WSACleanup();
}

TEST(TfScopedGuards, LockIsHeldForTheScopeOrUntilReset) {
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    {
        tvx::ScopedLock lock(&cs);
        EXPECT_FALSE(FreeForOthers(&cs));
        tvx::ScopedLock moved(std::move(lock));
        EXPECT_EQ(lock.get(), nullptr);
        EXPECT_FALSE(FreeForOthers(&cs));
        moved.reset();  // left early
        EXPECT_TRUE(FreeForOthers(&cs));
    }
    EXPECT_TRUE(FreeForOthers(&cs));
    {
        // Taken again by the same thread: the section stays held until the outer guard goes.
        tvx::ScopedLock outer(&cs);
        { tvx::ScopedLock inner(&cs); }
        EXPECT_FALSE(FreeForOthers(&cs));
    }
    EXPECT_TRUE(FreeForOthers(&cs));
    DeleteCriticalSection(&cs);
}
