// An index of the application's line list by address, line handle and device id.
//
// The list stays the truth; the index only answers its lookups without walking it, with the
// same first-match order. It is kept in step wherever a device joins the list (start-up,
// LINE_CREATE), leaves it (LINE_REMOVE, deletion, StopTapi) or changes its line handle (open,
// close, LINE_CLOSE). Every operation holds m_CS while it reads or changes the index.
#pragma once

#include <windows.h>

class CLineDevice;

namespace linvoq {

// Links pDevice behind the last listed device (or makes it the first) and indexes it: O(1)
// where walking to the end of a long list is not.
void ListAppend(CLineDevice** ppFirst, CLineDevice* pDevice);
void IndexForget(CLineDevice* pDevice);  // nothing for a device the index does not know
void IndexClear();
void IndexLineChanged(CLineDevice* pDevice);  // after its line handle was written

CLineDevice* IndexFindAddress(const char* pszAddress);
CLineDevice* IndexFindLine(DWORD hLine);
CLineDevice* IndexFindDeviceID(DWORD dwDeviceID);

}  // namespace linvoq
