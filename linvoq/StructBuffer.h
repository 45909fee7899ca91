// The common refresh of the structure wrappers: fetch, retry without extension version when
// the provider refuses it, grow to dwNeededSize, fetch again.
#pragma once

#include <windows.h>
#include <tapi.h>

#include <cstdlib>
#include <cstring>

namespace linvoq {

struct VarStructHead {
    DWORD dwTotalSize;
    DWORD dwNeededSize;
    DWORD dwUsedSize;
};

// `fetch(buffer, extVersion)` calls the TAPI function; `incompatibleExt` is the error that asks
// for the retry with extension version 0 (0 for structures without extension version).
template <class Fetch>
long RefreshStructure(void*& buffer, DWORD initialSize, DWORD extVersion, LONG incompatibleExt, Fetch fetch) {
    auto call = [&]() -> long {
        long result = fetch(buffer, extVersion);
        if (incompatibleExt != 0 && result == incompatibleExt) result = fetch(buffer, 0);
        return result;
    };
    if (!buffer) {
        buffer = std::calloc(1, initialSize);
        if (!buffer) return LINEERR_NOMEM;
        static_cast<VarStructHead*>(buffer)->dwTotalSize = initialSize;
    }
    long result = call();
    VarStructHead* head = static_cast<VarStructHead*>(buffer);
    if (head->dwNeededSize == 0) {
        std::free(buffer);
        buffer = nullptr;
        return result;
    }
    if (head->dwTotalSize < head->dwNeededSize) {
        DWORD needed = head->dwNeededSize;
        void* grown = std::realloc(buffer, needed);
        if (!grown) {
            std::free(buffer);
            buffer = nullptr;
            return LINEERR_NOMEM;
        }
        std::memset(grown, 0, needed);
        buffer = grown;
        static_cast<VarStructHead*>(buffer)->dwTotalSize = needed;
        result = call();
    }
    return result;
}

inline void FreeStructure(void*& buffer) {
    std::free(buffer);
    buffer = nullptr;
}

}  // namespace linvoq
