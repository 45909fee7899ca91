// Control interface of the simulated PBX that lives inside our tapi32.dll.
//
// The simulated tapi32.dll exports the TAPI 2.x functions the product calls and, besides them,
// the sim* functions below. Only tests, benchmarks and the development host call sim*; the
// deliverables know nothing of them and run unchanged on a real TAPI.
//
// All sim* functions may be called from any thread. Messages for an application are posted to
// the hidden window that lineInitializeEx/phoneInitializeEx created on the calling thread, so
// they reach the application's callback from that thread's message loop, as real TAPI does.
#pragma once

#include <windows.h>

#ifdef TAPISIM_BUILD
#define SIMAPI extern "C" __declspec(dllexport)
#else
#define SIMAPI extern "C" __declspec(dllimport)
#endif

// One line device of the PBX. Texts are copied; null texts count as empty.
struct SimLineDesc {
    const char* name;       // LINEDEVCAPS line name
    const char* address;    // address text of every address of the line ("" for none)
    const char* provider;   // LINEDEVCAPS provider info
    DWORD permanentLineId;  // dwPermanentLineID; the provider id is its high 16 bits
    DWORD lineFeatures;     // LINEDEVCAPS dwLineFeatures, e.g. LINEFEATURE_MAKECALL
    DWORD addressFeatures;  // LINEADDRESSCAPS dwAddressFeatures
    DWORD callFeatures;     // LINEADDRESSCAPS dwCallFeatures
    DWORD callFeatures2;    // LINEADDRESSCAPS dwCallFeatures2
    DWORD maxActiveCalls;   // LINEADDRESSCAPS dwMaxNumActiveCalls
    DWORD maxConfCalls;     // LINEADDRESSCAPS dwMaxNumConference
    DWORD numAddresses;     // LINEDEVCAPS dwNumAddresses (0 is taken as 1)
    int unicode;            // texts as UTF-16 with dwStringFormat STRINGFORMAT_UNICODE
    DWORD apiVersionHigh;   // highest API version the provider negotiates (0: 0x00030001)
    DWORD extVersion;       // extension version the provider negotiates (0: none)
    int rejectExtVersion;   // caps calls with a non-zero extension version fail with
                            // LINEERR_INCOMPATIBLEEXTVERSION
};

// One phone device of the PBX.
struct SimPhoneDesc {
    const char* name;      // PHONECAPS phone name
    DWORD phoneFeatures;   // PHONECAPS and PHONESTATUS dwPhoneFeatures
    int unicode;           // texts as UTF-16 with STRINGFORMAT_UNICODE
    DWORD extVersion;      // extension version the provider negotiates (0: none)
    int rejectExtVersion;  // phoneGetDevCaps with a non-zero extension version fails with
                           // PHONEERR_INCOMPATIBLEEXTVERSION
};

// One entry of a line's forwarding list (LINEFORWARD of API 3.1).
struct SimForward {
    DWORD forwardMode;          // LINEFORWARDMODE_*, 0 stands for do-not-disturb
    const char* callerAddress;  // may be null
    const char* destAddress;    // may be null
    DWORD destCountryCode;
};

// Counters of a line's LINEDEVSTATUS.
struct SimLineStatus {
    DWORD numActiveCalls;
    DWORD numOnHoldCalls;
    DWORD numOnHoldPendCalls;
    DWORD lineFeatures;
};

// What a simulated call reports in LINECALLINFO and LINECALLSTATUS. Texts may be null.
struct SimCallDesc {
    const char* callerId;
    const char* callerIdName;
    const char* calledId;
    const char* calledIdName;
    const char* connectedId;
    const char* connectedIdName;
    const char* redirectionId;
    const char* redirectionIdName;
    const char* redirectingId;
    const char* redirectingIdName;
    const char* callData;  // call data bytes, stored with their terminating zero
    const char* chargingInfo;
    const char* userUserInfo;
    DWORD callId;         // dwCallID (0: the simulator numbers calls itself)
    DWORD origin;         // LINECALLORIGIN_*
    DWORD reason;         // LINECALLREASON_*
    DWORD state;          // initial LINECALLSTATE_*
    DWORD callFeatures;   // LINECALLSTATUS dwCallFeatures
    DWORD callFeatures2;  // LINECALLSTATUS dwCallFeatures2
};

// --- The PBX -------------------------------------------------------------------------------

// Forgets every device, call, fault, pending request and journal entry; the PBX is then empty
// (no line at all). Initialised applications stay initialised, without lines and queued messages.
// Request ids go on counting from where they were, so an id from before the reset does not
// come back soon.
SIMAPI void WINAPI simReset(void);
// Replaces the PBX by the built-in default (a few extensions, see the simulator's README), after
// a reset as simReset does. The DLL starts with this PBX.
SIMAPI void WINAPI simUseDefaultPbx(void);
// Replaces the PBX by the one described in a text file (format in the simulator's README), after
// a reset. FALSE, with nothing changed, when the file cannot be read or parsed. When the
// environment variable TVX_PBX names such a file, the DLL starts with it instead of the default.
SIMAPI BOOL WINAPI simLoadPbxFile(const char* path);
// Appends a line device; returns its device id. Applications initialised later count it; those
// initialised before are not told of it (their device count stays) unless it is announced with
// simAnnounceLine.
SIMAPI DWORD WINAPI simAddLine(const SimLineDesc* desc);
// Appends a phone device; returns its device id.
SIMAPI DWORD WINAPI simAddPhone(const SimPhoneDesc* desc);
// Sends LINE_CREATE (hDevice 0, dwParam1 = device id) for a device added with simAddLine to
// every line application.
SIMAPI void WINAPI simAnnounceLine(DWORD deviceId);
// Removes a line at run time: LINE_CLOSE to every application that has it open, then
// LINE_REMOVE (dwParam1 = device id) to every line application. Its id stays unused.
SIMAPI void WINAPI simRemoveLine(DWORD deviceId);
// The provider closes the line under every application that has it open (LINE_CLOSE).
SIMAPI void WINAPI simCloseLine(DWORD deviceId);
// lineInitializeEx reports this many lines (0: the real number). Ids without a device answer
// LINEERR_BADDEVICEID; a test sees in the journal which ids were examined.
SIMAPI void WINAPI simSetReportedLineCount(DWORD count);
// Sets the forwarding list of every address of a line (count 0 clears it). When notify is
// non-zero, applications that have the line open get LINE_ADDRESSSTATE(LINEADDRESSSTATE_FORWARD)
// for every address, if their lineSetStatusMessages address states include FORWARD.
SIMAPI void WINAPI simSetForwarding(DWORD deviceId, const SimForward* entries, DWORD count, int notify);
// Sets the LINEDEVSTATUS counters of a line (and dwLineFeatures, which starts as the line's
// lineFeatures). Calls created with simCreateCall that are not IDLE count on top of them, in
// LINEDEVSTATUS and in LINEADDRESSSTATUS of address 0.
SIMAPI void WINAPI simSetLineStatus(DWORD deviceId, const SimLineStatus* status);
// Wave devices that lineGetID names for the line's calls ("wave/in", "wave/out"). Every line
// starts with device 0 for both (the test prefix's one ALSA device); SIM_NO_WAVE_DEVICE makes
// lineGetID answer LINEERR_NODEVICE for that class.
#define SIM_NO_WAVE_DEVICE 0xFFFFFFFF
SIMAPI void WINAPI simSetWaveDevices(DWORD deviceId, DWORD waveIn, DWORD waveOut);

// --- Calls (the foundation of the PBX's call model) ----------------------------------------

// Creates a call on a line and returns its handle (0 when the line does not exist). Every
// application that has the line open with monitor or owner privilege gets the call: the handle is
// the same for all of them. No message is sent; simSetCallState reports states. A state of 0 is
// taken as LINECALLSTATE_UNKNOWN; callId 0 numbers the call from 1 on.
// Where a TAPI function needs to know which application asks about a call (hLine and privilege
// in LINECALLINFO and LINECALLSTATUS, lineDeallocateCall), it is the holder whose application
// was initialised on the calling thread, else the first.
SIMAPI DWORD WINAPI simCreateCall(DWORD deviceId, const SimCallDesc* desc);
// Changes a call's state and mode and posts LINE_CALLSTATE(hCall, state, mode, privilege) to
// every application that has the call's line open; one that opened the line after the call
// appeared gets the call now, unless it deallocated it. The privilege goes with an application's
// first LINE_CALLSTATE for the call, later ones carry 0. The call features stay as they are.
SIMAPI void WINAPI simSetCallState(DWORD hCall, DWORD state, DWORD mode);
// Replaces a call's LINECALLSTATUS features.
SIMAPI void WINAPI simSetCallFeatures(DWORD hCall, DWORD callFeatures, DWORD callFeatures2);
// Posts any line message to the callback of every line application (hDevice and parameters as
// given); for edge cases the PBX would not produce by itself. When hDevice is one of an
// application's line handles or calls, the callback instance of that line goes with it, else 0.
SIMAPI void WINAPI simPostLineMessage(DWORD hDevice, DWORD message, DWORD param1, DWORD param2, DWORD param3);
// The same for phone applications.
SIMAPI void WINAPI simPostPhoneMessage(DWORD hDevice, DWORD message, DWORD param1, DWORD param2, DWORD param3);
// Line handle that an application holds for a device (0 when it has not opened it).
SIMAPI DWORD WINAPI simGetLineHandle(DWORD hLineApp, DWORD deviceId);
// Number of calls the PBX still has on a line: those not IDLE, and IDLE ones that some
// application has not yet deallocated.
SIMAPI DWORD WINAPI simGetCallCount(DWORD deviceId);

// --- Asynchronous requests -----------------------------------------------------------------

// Starts an asynchronous request for a line application, as an asynchronous TAPI function does:
// returns the request id (positive, pending until answered), LINEERR_INVALAPPHANDLE for an
// unknown application.
SIMAPI LONG WINAPI simBeginRequest(DWORD hLineApp);
// Answers a pending request: LINE_REPLY (hDevice 0, dwParam1 = request id, dwParam2 = result)
// reaches the application's callback from its message loop. FALSE when the id is not pending.
SIMAPI BOOL WINAPI simAnswerRequest(DWORD requestId, LONG result);
// Request ids count up from 1, start again at 1 after 0x7FFFFFFF and skip ids still pending;
// this sets the next one (taken into 1..0x7FFFFFFF).
SIMAPI void WINAPI simSetNextRequestId(DWORD requestId);

// The completion of an accepted request runs from the requesting application's message loop:
// it writes the handles the request returns (new call, consultation call, conference call),
// posts LINE_REPLY, and only then the PBX carries the request out (call-state messages follow
// the reply). A completion finds the call as it is then: one no longer in a fitting state gets
// a LINE_REPLY with LINEERR_INVALCALLSTATE and nothing else.

// The named asynchronous function (e.g. "lineAnswer") accepts its next `times` requests (a
// positive id) whose LINE_REPLY then carries `error`; nothing else happens. Faults add up per
// name. Synchronous refusals are made with simFailNext.
SIMAPI void WINAPI simFailReplyNext(const char* function, int times, LONG error);
// While `hold` is non-zero, completions (with their LINE_REPLYs) are kept back, not posted.
SIMAPI void WINAPI simHoldReplies(int hold);
// Runs the completions kept back, oldest first (whether or not replies are still held).
SIMAPI void WINAPI simReleaseReplies(void);

// --- The call model ------------------------------------------------------------------------
//
// Calls made through TAPI requests and the controls below follow the PBX's model: a call between
// two extensions is two appearances, one per line, each with its own handle and both with the
// same dwCallID; a call to or from the outside is one appearance on the extension. Their call
// features follow their state (within the line's callFeatures, 0 meaning all). A line with
// maxActiveCalls non-zero is busy for a new call while it has that many calls that are not IDLE.

// A call from `callerNumber` rings the line `deviceId` (OFFERING). When the number is an
// extension of the PBX the call comes from that extension's line (an appearance there goes
// DIALING, RINGBACK); otherwise from outside. Forwarding of the called line is followed.
// Returns the appearance that rings (at the called line or where forwarding took the call);
// 0 when nothing rings (busy, forwarded outside, unknown device).
SIMAPI DWORD WINAPI simInboundCall(const char* callerNumber, DWORD deviceId);
// The far end of a call that rings out (RINGBACK or PROCEEDING) answers: CONNECTED, on both
// lines for an internal call. FALSE when the call is in no such state.
SIMAPI BOOL WINAPI simFarEndAnswers(DWORD hCall);
// The far end hangs up: the call is DISCONNECTED (LINEDISCONNECTMODE_NORMAL, or _REJECT when the
// far end is an extension whose appearance was only ringing); a call that was only ringing, or
// that no application owns, goes on to IDLE. For an internal call the other line's appearance
// goes IDLE. FALSE for a call that is IDLE or already DISCONNECTED.
SIMAPI BOOL WINAPI simFarEndHangsUp(DWORD hCall);
// The far end of a call being dialled or ringing out is busy: BUSY (LINEBUSYMODE_STATION).
SIMAPI BOOL WINAPI simFarEndBusy(DWORD hCall);
// The call's current LINECALLSTATE_* (0 for an unknown handle).
SIMAPI DWORD WINAPI simGetCallState(DWORD hCall);
// Copies the call data bytes into buf (at most size); returns their full number, -1 for an
// unknown handle.
SIMAPI int WINAPI simGetCallData(DWORD hCall, char* buf, int size);
// The newest call on a line whose state has a bit of stateMask; 0 for none.
SIMAPI DWORD WINAPI simNewestCall(DWORD deviceId, DWORD stateMask);

// Listens for the text commands of a second terminal on 127.0.0.1:port (0: any free port), on
// a thread of the DLL's own (commands in the simulator's README). Returns the port in use, 0 when
// it cannot listen; once listening, later calls return that port. The environment variable
// TVX_SIM_CONTROL_PORT=<port> starts it when the DLL is first used.
SIMAPI WORD WINAPI simStartControlPort(WORD port);

// --- Faults --------------------------------------------------------------------------------

// The named TAPI function (its name without A/W suffix, e.g. "lineOpen", "lineInitializeEx")
// fails the next `times` calls with `error`, without doing anything else. Faults add up per name.
SIMAPI void WINAPI simFailNext(const char* function, int times, LONG error);
// The named TAPI function's next `times` calls do their work as usual (an accepted request's
// completion and LINE_REPLY are on their way) and return only `ms` milliseconds later, so that
// the reply can reach the application before the call has returned, as on a real TAPI.
SIMAPI void WINAPI simSlowReturnNext(const char* function, int times, DWORD ms);

// --- Journal -------------------------------------------------------------------------------
//
// Every TAPI function call is journaled as one text line:
//     name(arg, arg, ...) = result
// name without A/W suffix; handles, ids and sizes in decimal; versions, flags and modes as
// 0x%08X; texts in double quotes; pointers passed as null written as null; a structure passed
// for filling as size=<dwTotalSize on entry>. The exact argument list of each function is given
// in the simulator's README.

// Only the newest 4096 lines are kept (a ring: a new line replaces the oldest), so memory stays
// flat however long the PBX runs.
// Number of journal lines held, at most 4096.
SIMAPI int WINAPI simJournalCount(void);
// Index 0 is the oldest line held. Copies line `index` into buf (cut to size-1, always terminated); returns its full length,
// -1 for an index out of range.
SIMAPI int WINAPI simJournalGet(int index, char* buf, int size);
// Empties the journal.
SIMAPI void WINAPI simJournalClear(void);
