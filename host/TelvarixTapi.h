// The service's telephony object: turns the library's events into ZARN event lines
// (TelvarixTapi.cpp) and gives the service its lines and commands (TelvarixLines.cpp).
#pragma once

#include <map>
#include <string>
#include <utility>

#include "TapiApp.h"
#include "TelephonyLink.h"

class ProtocolLog;
class ZarnService;

class CTelvarixTapi : public CTapiApp, public TelephonyLink {
public:
    CTelvarixTapi(ZarnService& service, ProtocolLog& log);

    // TelephonyLink.
    bool FindLine(const std::string& ext, LineView& line) override;
    std::vector<LineView> Lines() override;
    ForwardingView Forwarding(const std::string& address) override;
    bool OpenLine(const std::string& address, long& lError) override;
    void CloseLine(const std::string& address) override;
    bool Run(TelephonyCommand command, const CommandArgs& args, long& lResult) override;

    void OnCmdResponse(char* pszExt, char* pszCmd, char* pszOrgCmdId, int bSuccess, char* pszResult) override;
    void OnDeviceInformation(char* pszAddress, DWORD dwCallCount, char* pszText) override;
    void OnHookStateChange(char* pszAddress, int bOffHook) override;
    void OnDNDChange(DWORD dwDeviceID, char* pszAddress, int bDnd) override;
    void OnCallOriginated(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) override;
    void OnCallReceived(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress, char* pszCallerID,
                        char* pszRedirectingID) override;
    void OnCallDelivered(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress, char* pszCalledID) override;
    void OnCallCleared(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) override;
    void OnCallFailed(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) override;
    void OnCallEstablished(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress, char* pszConnectedID,
                           char* pszRedirectingID) override;
    void OnCallHeld(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) override;
    void OnCallRetrieved(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) override;
    void OnCallTransferred(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) override;
    void OnCallDiverted(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) override;
    void OnCallConferenced(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) override;
    void OnCallConfRemoved(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) override;
    void OnForwardingChange(DWORD dwDeviceID, char* pszAddress, char* pszForwardDest) override;
    void OnPhoneStateChange(DWORD dwDeviceID, DWORD dwFlags, char* pszCallData) override;
    void OnCallRecord(DWORD dwDeviceID, int bInbound, int nConnected, char* pszAddress, char* pszNumber,
                      SYSTEMTIME* pStart, DWORD dwDuration) override;
    void OnLineCreate(char* pszAddress) override;
    void OnLineRemove(char* pszAddress) override;
    void OnCommandResult(DWORD dwDeviceID, long lInitialError, long lResult) override;
    void OnDebugInfo(DWORD dwLevel, char* pszText) override;
    void OnLineCallbackFunction(DWORD hDevice, DWORD dwMsg, DWORD dwParam1, DWORD dwParam2, DWORD dwParam3) override;

private:
    LineView ViewOf(CLineDevice* pDevice);
    // A command on the call args.hCall; the last CTI error it leaves.
    long RunOnCall(TelephonyCommand command, const CommandArgs& args);
    CLineDevice* DeviceOfCall(DWORD hCall, DWORD* pdwPos);
    std::string RawCallData(CLineDevice* pDevice, const std::string& decoded);
    void OnCallDisconnected(DWORD hCall, DWORD dwMode);
    void CallEvent(const char* pszEvent, DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress,
                   const char* pszKey1 = nullptr, const char* pszValue1 = nullptr, const char* pszKey2 = nullptr,
                   const char* pszValue2 = nullptr);

    ZarnService& m_service;
    ProtocolLog& m_log;
    DWORD m_dwThreadId;
    // When each call's talk ended (its far end went), by device id and call handle.
    std::map<std::pair<DWORD, DWORD>, SYSTEMTIME> m_talkEnds;
};
