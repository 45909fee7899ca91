// The application object of the telephony library.
//
// The host derives one class from CTapiApp, creates exactly one object of it and overrides the
// event operations it needs (all have empty bodies here). Calling order:
//   1. optionally set m_hWndDebugParent (no debug text at all while it is null);
//   2. construct the object with bStartTapi set, or clear and then set the address switches
//      and call StartTapi itself (only this way the switches act on the lines found at start);
//   3. OpenAllMonitors, or DoMonitorStart per address;
//   4. pump messages on the thread that called StartTapi (TAPI callbacks arrive through it);
//   5. SetOrgCmdId before each command;
//   6. destroy the object (StopTapi).
// All state is class-static and exported; m_CS guards the line list and the call tables.
#pragma once

#include <windows.h>

#include "LineDevice.h"
#include "LinvoqApi.h"

class CCallInfo;
struct CommandChainRecord;

// The operations every telephony application offers, in their fixed virtual-table order.
class LINVOQ_API ITelephonyInterface {
public:
    virtual int DoMonitorStart(char* pszAddress) = 0;  // slot 0
    virtual int DoMonitorStop(char* pszAddress) = 0;
    virtual void OpenAllMonitors() = 0;
    virtual void CloseAllMonitors() = 0;
    virtual int DoMakeCall(char* pszAddress, char* pszDestination, int bOffHook) = 0;  // slot 4
    virtual int DoConsultationCall(char* pszAddress, char* pszDestination) = 0;
    virtual int DoAnswer(char* pszAddress) = 0;
    virtual int DoHangup(char* pszAddress) = 0;
    virtual int DoHold(char* pszAddress) = 0;
    virtual int DoUnhold(char* pszAddress) = 0;
    virtual int DoAlternate(char* pszAddress) = 0;
    virtual int DoTransfer(char* pszAddress) = 0;
    virtual int DoConference(char* pszAddress) = 0;
    virtual int DoRedirect(char* pszAddress, char* pszDestination, char* pszCallData) = 0;  // slot 13
    virtual int DoPickup(char* pszAddress, char* pszDestination) = 0;
    virtual int DoForward(char* pszAddress, char* pszDestination) = 0;
    virtual void OnCmdResponse(char* pszExt, char* pszCmd, char* pszOrgCmdId, int bSuccess, char* pszResult) = 0;  // 16
    virtual void OnConferenced(char* pszText, DWORD dw1, DWORD dw2, char* pszText2) = 0;  // not raised
    virtual void OnConnectionCleared(char* pszText, DWORD dw) = 0;                        // not raised
    virtual void OnDeviceInformation(char* pszAddress, DWORD dwCallCount, char* pszText) = 0;
    virtual void OnDiverted(char* pszText, DWORD dw, char* pszText2) = 0;                // not raised
    virtual void OnDNDChange(char* pszText, int bDnd) = 0;                               // not raised
    virtual void OnFWDChange(char* pszText, int n, char* pszText2, char* pszText3) = 0;  // not raised
    virtual void OnHookStateChange(char* pszAddress, int bOffHook) = 0;
    virtual void OnMonitorStart(char* pszText) = 0;                      // not raised
    virtual void OnMonitorStop(char* pszText) = 0;                       // not raised
    virtual void OnServiceInitiated(char* pszText, DWORD dw) = 0;        // not raised
    virtual void OnTransfered(char* pszText, DWORD dw1, DWORD dw2) = 0;  // slot 27, not raised

protected:
    ~ITelephonyInterface() {}
};

class LINVOQ_API CTapiApp : public ITelephonyInterface {
public:
    explicit CTapiApp(int bStartTapi);

    // Session.
    int StartTapi();  // 1 when the session and the line list stand, 0 without line devices
    void StopTapi();
    int IsInitialized();
    long GetLastCTIError();
    void SetLastCTIError(long lError);
    void SetOrgCmdId(DWORD dwOrgCmdId);

    // Lookups with the first match of a walk from the head device (address, handle and id
    // through an index of the list).
    CLineDevice* GetDeviceObjectFromAddress(char* pszAddress);  // equal, or ending in "-" + address
    CLineDevice* GetDeviceObjectFromLine(DWORD hLine);
    CLineDevice* GetDeviceObjectFromLineID(DWORD dwDeviceID);
    CLineDevice* GetDeviceObjectFromLineName(char* pszName);
    CLineDevice* GetDeviceObjectFromUserSpec(DWORD dwUserSpec);
    DWORD GetDeviceSpecFromAddress(char* pszAddress);
    void SetDeviceUserSpec(char* pszAddress, DWORD dwUserSpec);
    // Address switches; they act on devices created afterwards.
    void SetOnlyDigitAddress(int bOn);
    void SetUseAlternateAddress(int bOn);

    // Diagnostic reports into the debug channel (level 3); nothing without a debug window.
    // They take no lock and share text buffers: never run two at the same time.
    void PrintSystemInfoFile();  // machine, dialling location, telephony providers
    void PrintTAPIInfoFile();    // capabilities of every line device; needs a started session

    // Slots 0 to 3.
    int DoMonitorStart(char* pszAddress) override;
    int DoMonitorStop(char* pszAddress) override;
    void OpenAllMonitors() override;
    void CloseAllMonitors() override;

    // Slots 4 to 15: call control.
    int DoMakeCall(char* pszAddress, char* pszDestination, int bOffHook) override;
    int DoConsultationCall(char* pszAddress, char* pszDestination) override;
    int DoAnswer(char* pszAddress) override;
    int DoHangup(char* pszAddress) override;
    int DoHold(char* pszAddress) override;
    int DoUnhold(char* pszAddress) override;
    int DoAlternate(char* pszAddress) override;
    int DoTransfer(char* pszAddress) override;
    int DoConference(char* pszAddress) override;
    int DoRedirect(char* pszAddress, char* pszDestination, char* pszCallData) override;
    int DoPickup(char* pszAddress, char* pszDestination) override;
    int DoForward(char* pszAddress, char* pszDestination) override;

    // Slots 16 to 27: events declared by the interface (empty here).
    void OnCmdResponse(char* pszExt, char* pszCmd, char* pszOrgCmdId, int bSuccess, char* pszResult) override {}
    void OnConferenced(char*, DWORD, DWORD, char*) override {}
    void OnConnectionCleared(char*, DWORD) override {}
    void OnDeviceInformation(char* pszAddress, DWORD dwCallCount, char* pszText) override {}
    void OnDiverted(char*, DWORD, char*) override {}
    void OnDNDChange(char*, int) override {}
    void OnFWDChange(char*, int, char*, char*) override {}
    void OnHookStateChange(char* pszAddress, int bOffHook) override {}
    void OnMonitorStart(char*) override {}
    void OnMonitorStop(char*) override {}
    void OnServiceInitiated(char*, DWORD) override {}
    void OnTransfered(char*, DWORD, DWORD) override {}

    virtual ~CTapiApp();  // slot 28

    // Slots 29 to 50: events of the application object (empty here).
    virtual void OnDNDChange(DWORD dwDeviceID, char* pszAddress, int bDnd) {}
    virtual void OnLineCallbackFunction(DWORD hDevice, DWORD dwMsg, DWORD dwParam1, DWORD dwParam2, DWORD dwParam3) {}
    virtual void OnPhoneCallbackFunction(DWORD hDevice, DWORD dwMsg, DWORD dwParam1, DWORD dwParam2, DWORD dwParam3) {}
    virtual void OnCallOriginated(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) {}
    virtual void OnCallReceived(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress, char* pszCallerID,
                                char* pszRedirectingID) {}
    virtual void OnCallDelivered(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress, char* pszCalledID) {}
    virtual void OnCallCleared(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) {}
    virtual void OnCallFailed(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) {}
    virtual void OnCallEstablished(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress,
                                   char* pszConnectedID, char* pszRedirectingID) {}
    virtual void OnCallHeld(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) {}
    virtual void OnCallRetrieved(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) {}
    virtual void OnCallTransferred(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) {}
    virtual void OnCallDiverted(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) {}
    virtual void OnCallConferenced(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) {}
    virtual void OnCallConfRemoved(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) {}
    virtual void OnForwardingChange(DWORD dwDeviceID, char* pszAddress, char* pszForwardDest) {}
    virtual void OnPhoneStateChange(DWORD dwDeviceID, DWORD dwFlags, char* pszCallData) {}
    virtual void OnCallRecord(DWORD dwDeviceID, int bInbound, int nConnected, char* pszAddress, char* pszNumber,
                              SYSTEMTIME* pStart, DWORD dwDuration) {}
    virtual void OnLineCreate(char* pszAddress) {}
    virtual void OnLineRemove(char* pszAddress) {}
    virtual void OnCommandResult(DWORD dwDeviceID, long lInitialError, long lResult) {}
    virtual void OnDebugInfo(DWORD dwLevel, char* pszText) {}  // slot 50

    // TAPI callbacks (registered by StartTapi; run on its thread, from its message loop).
    static void CALLBACK LineBaseCallbackFunction(DWORD hDevice, DWORD dwMessage, DWORD_PTR dwInstance,
                                                  DWORD_PTR dwParam1, DWORD_PTR dwParam2, DWORD_PTR dwParam3);
    static void CALLBACK PhoneBaseCallbackFunction(DWORD hDevice, DWORD dwMessage, DWORD_PTR dwInstance,
                                                   DWORD_PTR dwParam1, DWORD_PTR dwParam2, DWORD_PTR dwParam3);

    static CTapiApp* m_pThisTA;
    static CRITICAL_SECTION m_CS;
    static HWND m_hWndDebugParent;  // receives debug text as message 0x479 (wParam level, lParam text)
    static DWORD m_dwOrgCmdId;
    static DWORD m_hLineApp;
    static DWORD m_dwNumLines;  // capped at 8192
    static DWORD m_hPhoneApp;
    static DWORD m_dwPhoneAPIVersion;
    static DWORD m_dwNumPhones;
    static CLineDevice* m_pLineFirst;  // head device (id 0xFFFFFFFF) of the line list
    static DWORD m_dwAppAPIVersion;

protected:
    void FinalOpenLine(CLineDevice* pDevice);  // reports forwarding and calls of a freshly opened line
    void LineCreate(DWORD dwDeviceID);         // a line that appeared at run time
    void SendDebugInfo(DWORD dwLevel, const char* pszFormat, ...);
    char* GetResponseInfoParam(DWORD dwRequestID, char* pszKey);  // one field of a pending record
    static DWORD WINAPI CommandChainTread(LPVOID pRecord);        // runs one command chain, then frees it
    void SendDeviceInformation(DWORD dwDeviceID);

private:
    void PrintProviders(const char* pszSystemDir);
    CTapiApp(const CTapiApp&) = delete;
    CTapiApp& operator=(const CTapiApp&) = delete;
    void ReadDialingLocation();
    long InitializeLineSession();
    void BuildLineList();
    void DeriveInternationalPrefix();
    int IsUsableLine(CLineDevice* pDevice);
    // false for a call TAPI does not know; otherwise *pdwDeviceID is the call's line
    bool HandleCallState(DWORD hCall, DWORD dwState, DWORD dwMode, DWORD* pdwDeviceID);
    void RaiseStateEvent(CLineDevice* pDevice, DWORD hCall, DWORD dwCallID, DWORD dwState, DWORD dwMode,
                         CCallInfo& info);
    void RaiseCallRecord(CLineDevice* pDevice, DWORD hCall, CCallInfo& info);
    void HandleReply(DWORD dwRequestID, DWORD dwResult);
    void HandleAddressState(DWORD hLine, DWORD dwAddressStates);
    void HandleLineClose(DWORD hLine, DWORD dwParam1);
    void HandleLineRemove(DWORD dwDeviceID);
    // Starts the chain thread on the record (which then owns it); frees it when no thread starts.
    HANDLE StartChain(CommandChainRecord* pRecord);
    void RunMakeCallChain(CommandChainRecord* pRecord);
    void RunTransferChain(CommandChainRecord* pRecord);
    // Call control helpers.
    CLineDevice* CommandDevice(char* pszAddress, DWORD dwLineLogLevel);
    void SetupTransferChain(CLineDevice* pDevice, DWORD hCall, const char* pszNumber, DWORD dwChainType);
    int SingleCallCommand(char* pszAddress, int nCommand);
    int TwoCallCommand(char* pszAddress, int nCommand);

public:
    // Commands on one call the host names by its handle (as the events carry it), not on the
    // one the table search would pick. Not virtual: the virtual table stays as it is. Each
    // refuses without a TAPI request a call that is not in the line's table
    // (LINEERR_INVALCALLHANDLE) or not in a state it works on (LINEERR_INVALCALLSTATE);
    // otherwise it runs as the command of the same name does, with its record.
    int DoAnswerCall(char* pszAddress, DWORD hCall);  // ringing (offering or accepted)
    int DoHangupCall(char* pszAddress, DWORD hCall);  // any state
    int DoHoldCall(char* pszAddress, DWORD hCall);    // connected
    int DoUnholdCall(char* pszAddress, DWORD hCall);  // on hold or pending transfer
    // The held call named here and the line's first connected call.
    int DoAlternateCall(char* pszAddress, DWORD hHeldCall);
    int DoTransferCall(char* pszAddress, DWORD hHeldCall);
    int DoConferenceCall(char* pszAddress, DWORD hHeldCall);
    // Ringing: redirected; connected: transferred, blind or by a consultation.
    int DoRedirectCall(char* pszAddress, DWORD hCall, char* pszDestination, char* pszCallData);
    // Consultation from this connected call, whatever else the line holds.
    int DoConsultationFromCall(char* pszAddress, DWORD hCall, char* pszDestination);

private:
    // The shared parts of the commands once their calls are known.
    void RunSingleCallRequest(int nCommand, DWORD hCall);
    void RunTwoCallRequest(int nCommand, DWORD hHeld, DWORD hConsult);
    bool ConsultFromCall(CLineDevice* pDevice, DWORD hCall, const char* pszNumber);
    void RedirectRinging(DWORD hCall, char* pszDestination, char* pszCallData);
    void RedirectConnected(CLineDevice* pDevice, DWORD hCall, char* pszDestination, char* pszCallData);
    long GivenCallPos(CLineDevice* pDevice, DWORD hCall, DWORD dwStates, const char* pszPosLine);
    int SingleCallByHandle(char* pszAddress, DWORD hCall, int nCommand, DWORD dwStates);
    int TwoCallByHandle(char* pszAddress, DWORD hHeldCall, int nCommand);
};

// Debug window message of the library: wParam = level, lParam = the text.
#define WM_LINVOQ_DEBUG (WM_USER + 0x79)
