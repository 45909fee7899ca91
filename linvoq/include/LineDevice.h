// One TAPI line device: its identity, its open line handle and a table of at most ten calls.
//
// Devices are chained into the application's line list; a device owns the device after it, so
// deleting a device deletes the rest of the chain (use RemoveObject to take one out).
#pragma once

#include <windows.h>

#include "LinvoqApi.h"

// One call of a line, with the states it has passed through.
struct CallEntry {
    DWORD hCall;         // 0 marks a free entry
    DWORD dwSumStates;   // OR of every LINECALLSTATE the call has had
    DWORD dwState;       // current state
    DWORD dwLastState;   // state before the current one; 0 after the first state
    SYSTEMTIME stStart;  // entry into the table, re-taken when first connected
    void* pUserData;     // free value of the host
};

class LINVOQ_API CLineDevice {
public:
    enum { MAX_CALLS = 10 };

    CLineDevice(DWORD hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion);
    virtual ~CLineDevice();

    // List.
    void AddObject(CLineDevice* pDevice);            // links pDevice behind the last device
    static void RemoveObject(CLineDevice* pDevice);  // unlinks and deletes one device
    void SetNext(CLineDevice* pDevice);
    CLineDevice* GetNext();
    void SetPrev(CLineDevice* pDevice);
    CLineDevice* GetPrev();

    // Identity.
    char* GetAddress();
    char* GetDeviceName();
    DWORD GetLine();
    DWORD GetDeviceID();
    DWORD GetCharSize();
    DWORD GetUserSpec();
    void SetUserSpec(DWORD dwUserSpec);
    DWORD GetMaxInternLen();
    void Reset();  // forgets the line handle after TAPI closed the line; closes nothing

    // Opening: the first monitoring use opens the line, further uses only count.
    long OpenLineInstance(int bOwner);
    long CloseLineInstance();
    long Open(int bOwner);  // reopens regardless of the use count
    long Close();

    // Call table. Positions are 0..9; occupied entries stand packed from 0 in arrival order.
    int AddCall(DWORD hCall, DWORD dwState);  // non-zero when LineStateSummary changed
    int RemoveCall(DWORD hCall);              // non-zero when LineStateSummary changed
    DWORD GetCallCount();
    int HasCalls();
    DWORD GetCall(DWORD dwPos);
    DWORD GetSumStates(DWORD dwPos);
    long GetPosFromCall(DWORD hCall);
    long GetFirstCallPosWithStates(DWORD dwStateMask);
    DWORD GetSumStatesFromCall(DWORD hCall);
    DWORD GetLastStateFromCall(DWORD hCall);
    SYSTEMTIME* GetStartTimeFromCall(DWORD hCall);
    void* GetCallUserData(DWORD hCall);
    void SetCallUserData(DWORD hCall, void* pUserData);
    int IsIbound(DWORD hCall);  // 1 for an inbound call
    char* GetPlausibleAddressFromName(char* pszName);

    // Wave play and record on a call of this line, through the wave devices lineGetID names for
    // it ("wave/out", "wave/in"). Both block until done and take no lock.
    int WavePlayFile(DWORD hCall, const char* pszFile);  // a RIFF/WAVE PCM file, played once
    // Records until the buffer is full or the call has left the call table, then writes a new
    // PCM file (never overwrites one); TRUE when the file was written.
    int WaveRecordFile(DWORD hCall, const char* pszFile, DWORD dwBufferSize);

    DWORD dwDevAPIVersion;
    DWORD dwDevExtVersion;
    DWORD dwUserSpec;
    DWORD dwCharSize;
    DWORD hLineApp;
    DWORD hLine;
    DWORD dwDeviceID;
    char szAddress[64];
    char szDeviceName[128];
    CallEntry Calls[MAX_CALLS];
    DWORD LineStateSummary;  // bit 0 active, bit 1 held, bit 2 alerting
    long OpenCount;
    CLineDevice* pNext;
    CLineDevice* pPrev;

    static DWORD m_dwMaxInternLen;

private:
    long OpenLine(int bOwner);
    void SetLineHandle(DWORD hLineIn);  // keeps the line list's index in step
    void ClearCalls();
    int UpdateSummary();
};

// Call-state masks of the line summary bits.
enum : DWORD {
    LINESUMMARY_ACTIVE_MASK = 0x4B78,    // DIALTONE DIALING RINGBACK BUSY CONNECTED PROCEEDING CONFERENCED DISCONNECTED
    LINESUMMARY_HELD_MASK = 0x2400,      // ONHOLD ONHOLDPENDTRANSFER
    LINESUMMARY_ALERTING_MASK = 0x0006,  // OFFERING ACCEPTED
};
