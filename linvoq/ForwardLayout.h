// How TAPI lays out LINEFORWARD entries: 24 bytes before API 3.1, 32 bytes (with the two address
// types) from 3.1 on. Lists and address states use the line's negotiated version.
#pragma once

#include <windows.h>

namespace linvoq {

const DWORD kForwardEntrySize30 = 24;
const DWORD kForwardEntrySize31 = 32;
const DWORD kForwardListHeader = 8;  // dwTotalSize, dwNumEntries

inline DWORD ForwardEntrySize(DWORD dwAPIVersion) {
    return dwAPIVersion >= 0x00030001 ? kForwardEntrySize31 : kForwardEntrySize30;
}

}  // namespace linvoq
