// The numbered event stream: one Seq counter for the service and, per line, a bounded ring of
// its last events, so that a client coming back can be sent what it missed.
// Standard library only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace zarn {

struct StampedEvent {
    std::uint64_t seq = 0;
    std::string name;  // the Event value, for the clients' filters
    std::string text;  // the line as ZARN 2 sends it, with its Seq and Time
};

// What a client resuming a line after Seq `since` gets: the events it missed, or a gap.
struct ResumePlan {
    bool bReplay = false;
    std::vector<const StampedEvent*> events;  // bReplay: oldest first
    std::uint64_t gapFrom = 0, gapTo = 0;     // !bReplay: the Seqs that may be missing
};

class EventJournal {
public:
    enum : std::size_t { kDefaultRing = 1000, kMaxRing = 100000 };

    // ringSize events kept per line; 0 keeps none (every resume is a gap).
    explicit EventJournal(std::size_t ringSize = kDefaultRing) : m_ringSize(ringSize) {}

    std::uint64_t LastSeq() const { return m_lastSeq; }

    // Numbers an event of line ext; the time is the caller's ("yyyy-mm-dd hh:mm:ss.mmm").
    const StampedEvent& Record(const std::string& ext, const std::string& line, const std::string& time);

    // The service sees a line's events only while it has the line open: a close breaks the
    // line's stream, and events from before the next open can no longer be replayed.
    void LineOpened(const std::string& ext);
    void LineClosed(const std::string& ext);

    // For a client that has every event of ext up to `since` and hears live events after
    // `liveFrom` (the LastSeq when it became a monitor). since <= liveFrom <= LastSeq().
    ResumePlan PlanResume(const std::string& ext, std::uint64_t since, std::uint64_t liveFrom) const;

private:
    struct LineRing {
        std::deque<StampedEvent> events;
        bool open = false;
        std::uint64_t openedAt = 0;  // LastSeq when the line was last opened
        bool bEverClosed = false;
        std::uint64_t closedAt = 0;       // LastSeq when the line was last closed
        std::uint64_t newestEvicted = 0;  // 0: nothing pushed out yet
        std::uint64_t newest = 0;         // Seq of the line's newest event, kept or not
    };

    std::size_t m_ringSize;
    std::uint64_t m_lastSeq = 0;
    std::map<std::string, LineRing> m_lines;
    StampedEvent m_unkept;  // the last event when rings are off
};

// "CallCleared" from "{Event:CallCleared}{Ext:...}"; empty when the line starts otherwise.
std::string EventName(const std::string& line);

}  // namespace zarn
