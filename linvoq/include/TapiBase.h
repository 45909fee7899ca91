// Wrappers around TAPI's variable-size structures.
//
// Each wrapper fetches one structure on construction, grows its buffer until TAPI's dwNeededSize
// fits, and hands out single fields and texts. Texts always come out single-byte (ANSI); the
// text getters return module-wide buffers (one per getter) that the next call of the same getter,
// on any object, overwrites. Wrappers own their buffer and are never copied.
#pragma once

#include <windows.h>
#include <tapi.h>

#include "LinvoqApi.h"

class LINVOQ_API CTapiBase {
public:
    CTapiBase();
    virtual ~CTapiBase();

protected:
    // Copies a text of the structure into buffer (always terminated); 0 when nothing to copy.
    int GetStructText(void* pStruct, DWORD dwOffset, DWORD dwSize, char* pszBuffer, DWORD dwBufferLen);
    void* MoveUpPointer(void* pPointer, DWORD dwOffset);

    DWORD m_dwCharSize;  // 1 for single-byte texts, 2 for wide texts
};

// LINEADDRESSCAPS of one address (lineGetAddressCaps).
class LINVOQ_API CAddressCaps : public CTapiBase {
public:
    CAddressCaps(DWORD hLineApp, DWORD dwDeviceID, DWORD dwAddressID, DWORD dwCharSize, DWORD dwAPIVersion,
                 DWORD dwExtVersion);
    ~CAddressCaps() override;
    long Refresh();
    void* GetStruct();

    char* GetAddress();  // only digits when the only-digit switch is on
    DWORD GetCallFeatures();
    DWORD GetCallFeatures2();
    DWORD GetAddressFeatures();
    DWORD GetMaxActiveCalls();
    DWORD GetMaxConfCalls();

private:
    CAddressCaps(const CAddressCaps&) = delete;
    CAddressCaps& operator=(const CAddressCaps&) = delete;
    DWORD m_hLineApp, m_dwDeviceID, m_dwAddressID, m_dwAPIVersion, m_dwExtVersion;
    LINEADDRESSCAPS* m_pStruct;
};

// LINEADDRESSSTATUS of one address of an open line (lineGetAddressStatus).
class LINVOQ_API CAddressStatus : public CTapiBase {
public:
    CAddressStatus(DWORD hLine, DWORD dwAddressID);
    // The same for a line whose texts are wide (dwCharSize 2): the forwarding addresses then
    // come as UTF-16 and are converted like every other text of that line.
    CAddressStatus(DWORD hLine, DWORD dwAddressID, DWORD dwCharSize);
    // The same for a line opened with an API version below 3.1, whose forwarding entries are
    // laid out in the shorter LINEFORWARD.
    CAddressStatus(DWORD hLine, DWORD dwAddressID, DWORD dwCharSize, DWORD dwAPIVersion);
    ~CAddressStatus() override;
    long Refresh();
    void* GetStruct();

    char* GetForwardAddress();  // destination of the first active forwarding entry
    DWORD GetDNDState();        // 1 when some forwarding entry has mode 0 (do-not-disturb)
    DWORD GetForwardMask();     // OR of all forward modes
    DWORD GetAddressFeatures();

private:
    CAddressStatus(const CAddressStatus&) = delete;
    CAddressStatus& operator=(const CAddressStatus&) = delete;
    const LINEFORWARD* ForwardEntry(DWORD dwIndex);
    DWORD m_hLine, m_dwAddressID;
    LINEADDRESSSTATUS* m_pStruct;
    DWORD m_dwAPIVersion;
};

// LINECALLINFO of a call (lineGetCallInfo). The five number getters keep only "+()0123456789".
class LINVOQ_API CCallInfo : public CTapiBase {
public:
    CCallInfo(DWORD hCall, DWORD dwCharSize);
    ~CCallInfo() override;
    long Refresh();
    void* GetStruct();

    char* GetCallerID();  // also drops a leading "+" before "0": +0301234 gives 0301234
    char* GetCalledID();
    char* GetConnectedID();
    char* GetRedirectionID();
    char* GetRedirectingID();
    char* GetCallerIDName();
    char* GetCalledIDName();
    char* GetConnectedIDName();
    char* GetRedirectionIDName();
    char* GetRedirectingIDName();
    char* GetCallData();
    char* GetChargingInfo();
    char* GetUserUserInfo();
    DWORD GetCallID();
    DWORD GetOrigin();
    DWORD GetReason();
    DWORD GetLine();
    long SetCallData(char* pszText);  // lineSetCallData with the text and its terminator

private:
    CCallInfo(const CCallInfo&) = delete;
    CCallInfo& operator=(const CCallInfo&) = delete;
    char* Text(char* pszBuffer, DWORD dwBufferLen, DWORD dwSize, DWORD dwOffset);
    char* Number(char* pszBuffer, DWORD dwSize, DWORD dwOffset);
    DWORD m_hCall;
    LINECALLINFO* m_pStruct;
};

// LINECALLSTATUS of a call (lineGetCallStatus) and the device id of the call's line.
class LINVOQ_API CCallStatus : public CTapiBase {
public:
    explicit CCallStatus(DWORD hCall);
    ~CCallStatus() override;
    long Refresh();
    void* GetStruct();

    DWORD GetStatus();  // dwCallState
    DWORD GetCallFeatures();
    DWORD GetCallFeatures2();
    DWORD GetLineID();  // TAPI device id of the call's line (lineGetID "tapi/line"), 0 if unknown

private:
    CCallStatus(const CCallStatus&) = delete;
    CCallStatus& operator=(const CCallStatus&) = delete;
    DWORD m_hCall, m_dwLineID;
    LINECALLSTATUS* m_pStruct;
};

// LINEDEVCAPS of a line device (lineGetDevCaps), with the negotiated versions.
class LINVOQ_API CDeviceCaps : public CTapiBase {
public:
    CDeviceCaps(DWORD hLineApp, DWORD dwDeviceID, DWORD dwHighestAPIVersion);
    ~CDeviceCaps() override;
    long Refresh();
    void* GetStruct();

    char* GetLineName();
    char* GetProviderName();
    DWORD GetProviderID();  // high 16 bits of dwPermanentLineID
    DWORD GetLineFeatures();
    DWORD GetNumAddresses();  // 1 when unread
    DWORD GetDevAPIVersion();
    DWORD GetDevExtVersion();
    DWORD GetCharSize();

private:
    CDeviceCaps(const CDeviceCaps&) = delete;
    CDeviceCaps& operator=(const CDeviceCaps&) = delete;
    DWORD m_hLineApp, m_dwDeviceID, m_dwAPIVersion, m_dwExtVersion;
    LINEDEVCAPS* m_pStruct;
};

// LINEDEVSTATUS of an open line (lineGetLineDevStatus).
class LINVOQ_API CLineDevStatus : public CTapiBase {
public:
    explicit CLineDevStatus(DWORD hLine);
    ~CLineDevStatus() override;
    long Refresh();
    void* GetStruct();

    DWORD GetLineFeatures();

private:
    CLineDevStatus(const CLineDevStatus&) = delete;
    CLineDevStatus& operator=(const CLineDevStatus&) = delete;
    DWORD m_hLine;
    LINEDEVSTATUS* m_pStruct;
};

// PHONECAPS of a phone device (phoneGetDevCaps), with the negotiated versions.
class LINVOQ_API CPhoneCaps : public CTapiBase {
public:
    CPhoneCaps(DWORD hPhoneApp, DWORD dwDeviceID, DWORD dwHighestAPIVersion);
    ~CPhoneCaps() override;
    long Refresh();
    void* GetStruct();

    char* GetPhoneName();
    DWORD GetPhoneFeatures();
    DWORD GetDevAPIVersion();
    DWORD GetDevExtVersion();

private:
    CPhoneCaps(const CPhoneCaps&) = delete;
    CPhoneCaps& operator=(const CPhoneCaps&) = delete;
    DWORD m_hPhoneApp, m_dwDeviceID, m_dwAPIVersion, m_dwExtVersion;
    PHONECAPS* m_pStruct;
};

// PHONESTATUS of an open phone (phoneGetStatus).
class LINVOQ_API CPhoneStatus : public CTapiBase {
public:
    explicit CPhoneStatus(DWORD hPhone);
    ~CPhoneStatus() override;
    long Refresh();
    void* GetStruct();

    DWORD GetPhoneFeatures();

private:
    CPhoneStatus(const CPhoneStatus&) = delete;
    CPhoneStatus& operator=(const CPhoneStatus&) = delete;
    DWORD m_hPhone;
    PHONESTATUS* m_pStruct;
};
