#include "StructBuffer.h"
#include "TapiBase.h"

namespace {
const DWORD kInitialSize = 1080;
const DWORD kVarStringSize = 92;
}  // namespace

CCallStatus::CCallStatus(DWORD hCall) : m_hCall(hCall), m_dwLineID(0), m_pStruct(nullptr) {
    // The device id of the call's line follows the VARSTRING's fixed part; zeroed first so that
    // a failed query gives 0.
    DWORD raw[kVarStringSize / sizeof(DWORD)] = {};
    VARSTRING* id = reinterpret_cast<VARSTRING*>(raw);
    id->dwTotalSize = kVarStringSize;
    lineGetID(0, 0, hCall, LINECALLSELECT_CALL, id, "tapi/line");
    m_dwLineID = raw[sizeof(VARSTRING) / sizeof(DWORD)];
    Refresh();
}

CCallStatus::~CCallStatus() { std::free(m_pStruct); }

long CCallStatus::Refresh() {
    void* buffer = m_pStruct;
    long result = linvoq::RefreshStructure(buffer, kInitialSize, 0, 0, [this](void* p, DWORD) {
        return lineGetCallStatus(m_hCall, static_cast<LINECALLSTATUS*>(p));
    });
    m_pStruct = static_cast<LINECALLSTATUS*>(buffer);
    return result;
}

void* CCallStatus::GetStruct() { return m_pStruct; }
DWORD CCallStatus::GetStatus() { return m_pStruct ? m_pStruct->dwCallState : 0; }
DWORD CCallStatus::GetLineID() { return m_dwLineID; }

DWORD CCallStatus::GetCallFeatures() { return m_pStruct ? m_pStruct->dwCallFeatures : 0; }
DWORD CCallStatus::GetCallFeatures2() { return m_pStruct ? m_pStruct->dwCallFeatures2 : 0; }
