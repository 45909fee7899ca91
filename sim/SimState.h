// The state of the simulated PBX and of the applications that use it, behind one lock.
//
// Handles of every kind (line and phone applications, lines, phones, calls) come from one
// counter, so a handle of one kind is never valid as another, and a handle from before a reset
// stays invalid.
#pragma once

#include <windows.h>
#include <tapi.h>

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "Faults.h"
#include "Journal.h"
#include "RequestIds.h"
#include "tapisim.h"

namespace tapisim {

class Sim;

struct Forward {
    DWORD mode;
    std::wstring caller;
    std::wstring dest;
    DWORD destCountryCode;
};

struct LineDevice {
    std::wstring name;
    std::wstring address;  // the same text on every address of the line
    std::wstring provider;
    DWORD permanentLineId = 0;
    DWORD lineFeatures = 0;
    DWORD addressFeatures = 0;
    DWORD callFeatures = 0;
    DWORD callFeatures2 = 0;
    DWORD maxActiveCalls = 0;
    DWORD maxConfCalls = 0;
    DWORD numAddresses = 1;
    bool unicode = false;
    DWORD apiHigh = 0;  // highest API version the provider negotiates
    DWORD extVersion = 0;
    bool rejectExtVersion = false;
    bool removed = false;  // removed at run time; its id stays unused
    std::vector<Forward> forwards;
    SimLineStatus status = {};  // counters set by the test, on top of the calls counted here
    DWORD waveIn = 0;           // wave devices of the line's calls (lineGetID "wave/in", "wave/out");
    DWORD waveOut = 0;          // SIM_NO_WAVE_DEVICE for none
};

struct PhoneDevice {
    std::wstring name;
    DWORD phoneFeatures = 0;
    bool unicode = false;
    DWORD extVersion = 0;
    bool rejectExtVersion = false;
};

struct QueuedMessage {
    DWORD hDevice;
    DWORD message;
    DWORD_PTR instance;
    DWORD_PTR param1;
    DWORD_PTR param2;
    DWORD_PTR param3;
    DWORD request = 0;  // non-zero: instead of a callback, the completion of this request runs here
};

// A line or phone application: one lineInitializeEx or phoneInitializeEx.
struct App {
    DWORD handle = 0;
    bool phone = false;
    HWND window = nullptr;  // hidden window on the initialising thread
    DWORD thread = 0;
    LINECALLBACK callback = nullptr;  // phone callbacks have the same signature
    std::wstring name;                // friendly name, else the program's file name
    std::deque<QueuedMessage> queue;  // messages not yet handed to the callback
    bool wakeupPosted = false;        // a delivery message is on its way to the window
};

struct OpenLine {
    DWORD hLine;
    DWORD app;
    DWORD device;
    DWORD apiVersion;
    DWORD extVersion;
    DWORD_PTR instance;
    DWORD privileges;
    DWORD mediaModes;
    DWORD lineStates = 0;  // lineSetStatusMessages masks
    DWORD addressStates = 0;
};

struct OpenPhone {
    DWORD hPhone;
    DWORD app;
    DWORD device;
    DWORD apiVersion;
    DWORD extVersion;
    DWORD_PTR instance;
    DWORD privilege;
};

// An application's hold on a call, through the line it has open.
struct CallHolder {
    DWORD app;
    DWORD hLine;
    DWORD privilege;    // LINECALLPRIVILEGE_OWNER or _MONITOR
    bool told = false;  // has had a LINE_CALLSTATE (which carries the privilege only the first time)
};

enum PartyText {
    kCallerId,
    kCallerIdName,
    kCalledId,
    kCalledIdName,
    kConnectedId,
    kConnectedIdName,
    kRedirectionId,
    kRedirectionIdName,
    kRedirectingId,
    kRedirectingIdName,
    kPartyTextCount
};

// One appearance of a call on one line. A call between two extensions is two appearances with
// their own handles, one per line, sharing a connection; a trunk call is a single appearance.
struct Call {
    DWORD hCall = 0;
    DWORD device = 0;
    DWORD addressId = 0;
    DWORD connection = 0;  // PBX connection of the appearances of one call (0: none)
    std::wstring party[kPartyTextCount];
    std::string callData;  // raw bytes
    std::wstring chargingInfo;
    std::string userUserInfo;  // raw bytes
    DWORD callId = 0;
    DWORD relatedCallId = 0;
    DWORD origin = 0;
    DWORD reason = 0;
    DWORD state = LINECALLSTATE_UNKNOWN;
    DWORD mode = 0;
    DWORD features = 0;
    DWORD features2 = 0;
    SYSTEMTIME stateEntered = {};
    std::vector<CallHolder> holders;
    std::vector<DWORD> releasedBy;  // lines whose application deallocated the call: it stays away
    // The call model. Calls made with simCreateCall keep the features the test gave them; the
    // PBX's own calls get the features of their state.
    bool pbxFeatures = false;
    DWORD peer = 0;          // appearance of the other party on another line (0: outside or none)
    std::wstring farNumber;  // the other party's number when it is outside the PBX
    std::wstring farName;
    DWORD consult = 0;     // consultation call of a call on hold pending transfer
    DWORD conference = 0;  // conference call this appearance is a member of
};

// A completion of an asynchronous request: re-checks, writes returned handles, posts LINE_REPLY
// through `reply`, then changes the PBX.
struct Reply;
struct PendingRequest {
    DWORD id = 0;
    DWORD app = 0;
    std::function<void(Sim&, Reply&)> work;
};

class Sim {
public:
    std::recursive_mutex lock;        // guards everything below but the journal and the faults
    std::vector<LineDevice> lines;    // index = device id
    std::vector<PhoneDevice> phones;  // index = device id
    std::map<DWORD, App> apps;
    std::map<DWORD, OpenLine> openLines;  // by handle: added by AddOpenLine, ended by ForgetOpenLine
    std::map<DWORD, OpenPhone> openPhones;
    std::map<DWORD, Call> calls;
    DWORD reportedLineCount = 0;  // 0: the real number
    DWORD nextCallId = 1;
    RequestIds requests;
    std::map<DWORD, PendingRequest> pendingWork;  // completions queued to their application
    std::deque<PendingRequest> heldWork;          // completions held back by simHoldReplies
    bool holdReplies = false;
    bool demoStarted = false;  // the TVX_SIM_DEMO call has been started
    DWORD demoGeneration = 0;  // counts resets, which end a demonstration under way
    FaultTable faults;         // own lock
    FaultTable replyFaults;    // accepted requests whose LINE_REPLY carries an error
    FaultTable slowReturns;    // calls that return only so many milliseconds after their work
    Journal journal;           // own lock

    DWORD NewHandle() { return m_nextHandle++; }

    OpenLine& AddOpenLine(const OpenLine& open);
    // The handles of the lines open on a device, oldest first: a line's opens without a walk
    // over every open of the PBX, which thousands of open lines would make slow.
    const std::set<DWORD>& OpensOf(DWORD device) const;

    App* FindApp(DWORD handle, bool phone);
    OpenLine* FindOpenLine(DWORD hLine);
    OpenLine* FindOpenLine(DWORD app, DWORD device);
    OpenPhone* FindOpenPhone(DWORD hPhone);
    Call* FindCall(DWORD hCall);
    LineDevice* FindLine(DWORD deviceId);  // null for an unknown or removed id
    PhoneDevice* FindPhone(DWORD deviceId);

    // Device lookups with TAPI's answer: LINEERR_BADDEVICEID for an id TAPI never had,
    // LINEERR_NODEVICE for a removed one.
    LONG LookupLine(DWORD deviceId, LineDevice** device);
    LONG LookupPhone(DWORD deviceId, PhoneDevice** device);

    // The holder through which the calling application sees a call: the one whose application
    // runs on this thread, else the first. Null when no application holds the call.
    CallHolder* AskingHolder(Call& call);

    // Ends an open line without telling its application; its calls leave the application.
    void ForgetOpenLine(DWORD hLine);
    // Removes a call that is idle and that no application holds any more.
    void DropCallIfGone(DWORD hCall);
    // The same for every call.
    void DropGoneCalls();

    // Back to an empty PBX: devices, opens, calls, pending requests, faults, journal. Applications
    // stay initialised, without lines and without queued messages. Request ids go on counting.
    void Reset();

private:
    DWORD m_nextHandle = 0x00010001;
    std::map<DWORD, std::set<DWORD>> m_opensByDevice;
};

// The one simulator of the process, configured on first use (TVX_PBX file or the default PBX).
Sim& TheSim();

}  // namespace tapisim
