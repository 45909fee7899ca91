#include "LineDevice.h"

#include <cstring>

#include "DeviceIndex.h"
#include "LibraryState.h"
#include "TapiBase.h"
#include "TextRules.h"

DWORD CLineDevice::m_dwMaxInternLen = 1;

namespace {
const DWORD kMaxInternLenCut = 4;
const DWORD kAllLineStates = 0x01FFFFFF;
const DWORD kAllAddressStates = 0x1FF;
char g_szPlausibleAddress[32];
}  // namespace

CLineDevice::CLineDevice(DWORD hLineAppIn, DWORD dwDeviceIDIn, DWORD dwAPIVersion)
    : dwDevAPIVersion(0), dwDevExtVersion(0), dwUserSpec(0), dwCharSize(1), hLineApp(hLineAppIn), hLine(0),
      dwDeviceID(dwDeviceIDIn), LineStateSummary(0), OpenCount(0), pNext(nullptr), pPrev(nullptr) {
    szAddress[0] = '\0';
    szDeviceName[0] = '\0';
    ClearCalls();
    if (dwDeviceID == linvoq::kHeadDeviceID) return;

    CDeviceCaps devCaps(hLineApp, dwDeviceID, dwAPIVersion);
    linvoq::CopyText(szDeviceName, sizeof szDeviceName, devCaps.GetLineName(), 127);
    dwDevAPIVersion = devCaps.GetDevAPIVersion();
    dwDevExtVersion = devCaps.GetDevExtVersion();
    dwCharSize = devCaps.GetCharSize();

    CAddressCaps addrCaps(hLineApp, dwDeviceID, 0, dwCharSize, dwDevAPIVersion, dwDevExtVersion);
    if ((devCaps.GetLineFeatures() & LINEFEATURE_MAKECALL) ||
        (addrCaps.GetAddressFeatures() & LINEADDRFEATURE_MAKECALL)) {
        linvoq::CopyText(szAddress, sizeof szAddress, addrCaps.GetAddress(), 63);
        // With the switch off the name rule answers what an earlier line's name gave, which
        // would hand this line another line's address: such a line keeps no address.
        if (!szAddress[0] && linvoq::g_bUseAlternateAddress) {
            // The name rule blanks the text it is given; the device keeps its real name.
            char szName[sizeof szDeviceName];
            std::memcpy(szName, szDeviceName, sizeof szName);
            linvoq::CopyText(szAddress, sizeof szAddress, GetPlausibleAddressFromName(szName), 63);
        }
    }
    DWORD len = static_cast<DWORD>(std::strlen(szAddress));
    if (len > m_dwMaxInternLen) m_dwMaxInternLen = len;
    if (m_dwMaxInternLen > kMaxInternLenCut) m_dwMaxInternLen = kMaxInternLenCut;
}

CLineDevice::~CLineDevice() {
    linvoq::IndexForget(this);
    // Deleting iteratively: a list of thousands of lines must not exhaust the stack.
    CLineDevice* next = pNext;
    pNext = nullptr;
    while (next) {
        CLineDevice* after = next->pNext;
        next->pNext = nullptr;
        delete next;
        next = after;
    }
}

void CLineDevice::AddObject(CLineDevice* pDevice) {
    if (!pDevice) return;
    CLineDevice* last = this;
    while (last->pNext) last = last->pNext;
    last->pNext = pDevice;
    pDevice->pPrev = last;
}

void CLineDevice::RemoveObject(CLineDevice* pDevice) {
    if (!pDevice || IsBadReadPtr(pDevice, sizeof(CLineDevice))) return;
    if (pDevice->pPrev) pDevice->pPrev->pNext = pDevice->pNext;
    if (pDevice->pNext) pDevice->pNext->pPrev = pDevice->pPrev;
    pDevice->pNext = nullptr;
    pDevice->pPrev = nullptr;
    delete pDevice;
}

void CLineDevice::SetNext(CLineDevice* pDevice) { pNext = pDevice; }
CLineDevice* CLineDevice::GetNext() { return pNext; }
void CLineDevice::SetPrev(CLineDevice* pDevice) { pPrev = pDevice; }
CLineDevice* CLineDevice::GetPrev() { return pPrev; }

char* CLineDevice::GetAddress() { return szAddress; }
char* CLineDevice::GetDeviceName() { return szDeviceName; }
DWORD CLineDevice::GetLine() { return hLine; }
DWORD CLineDevice::GetDeviceID() { return dwDeviceID; }
DWORD CLineDevice::GetCharSize() { return dwCharSize; }
DWORD CLineDevice::GetUserSpec() { return dwUserSpec; }
void CLineDevice::SetUserSpec(DWORD dwUserSpecIn) { dwUserSpec = dwUserSpecIn; }
DWORD CLineDevice::GetMaxInternLen() { return m_dwMaxInternLen; }
void CLineDevice::Reset() { SetLineHandle(0); }

void CLineDevice::SetLineHandle(DWORD hLineIn) {
    hLine = hLineIn;
    linvoq::IndexLineChanged(this);
}

long CLineDevice::OpenLine(int bOwner) {
    DWORD privileges = bOwner ? (LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR) : LINECALLPRIVILEGE_MONITOR;
    HLINE opened = 0;
    long result = lineOpen(hLineApp, dwDeviceID, &opened, dwDevAPIVersion, 0, 0, privileges,
                           LINEMEDIAMODE_INTERACTIVEVOICE, nullptr);
    if (result == 0) {
        SetLineHandle(opened);
        lineSetStatusMessages(hLine, kAllLineStates, kAllAddressStates);
    }
    return result;
}

long CLineDevice::OpenLineInstance(int bOwner) {
    long result = OpenCount == 0 ? OpenLine(bOwner) : LINEERR_NOMULTIPLEINSTANCE;
    ++OpenCount;
    return result;
}

long CLineDevice::CloseLineInstance() {
    if (OpenCount == 0) return 0;
    if (--OpenCount != 0) return 0;
    long result = 0;
    if (hLine) result = lineClose(hLine);
    SetLineHandle(0);
    ClearCalls();
    return result;
}

long CLineDevice::Open(int bOwner) {
    Close();
    return OpenLine(bOwner);
}

long CLineDevice::Close() {
    long result = 0;
    if (hLine) result = lineClose(hLine);
    SetLineHandle(0);
    ClearCalls();
    return result;
}

char* CLineDevice::GetPlausibleAddressFromName(char* pszName) {
    if (!pszName || !linvoq::g_bUseAlternateAddress) return g_szPlausibleAddress;
    linvoq::PlausibleAddressFromName(pszName, g_szPlausibleAddress, sizeof g_szPlausibleAddress);
    return g_szPlausibleAddress;
}
