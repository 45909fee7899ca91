#include "EventJournal.h"

namespace zarn {

std::string EventName(const std::string& line) {
    static const char kStart[] = "{Event:";
    if (line.compare(0, sizeof kStart - 1, kStart) != 0) return std::string();
    std::size_t end = line.find('}', sizeof kStart - 1);
    if (end == std::string::npos) return std::string();
    return line.substr(sizeof kStart - 1, end - (sizeof kStart - 1));
}

const StampedEvent& EventJournal::Record(const std::string& ext, const std::string& line, const std::string& time) {
    StampedEvent event;
    event.seq = ++m_lastSeq;
    event.name = EventName(line);
    event.text = line + "{Seq:" + std::to_string(event.seq) + "}{Time:" + time + "}";
    LineRing& ring = m_lines[ext];
    ring.newest = event.seq;
    if (m_ringSize == 0) {
        m_unkept = std::move(event);
        return m_unkept;
    }
    if (ring.events.size() >= m_ringSize) {
        ring.newestEvicted = ring.events.front().seq;
        ring.events.pop_front();
    }
    ring.events.push_back(std::move(event));
    return ring.events.back();
}

void EventJournal::LineOpened(const std::string& ext) {
    LineRing& ring = m_lines[ext];
    ring.open = true;
    ring.openedAt = m_lastSeq;
}

void EventJournal::LineClosed(const std::string& ext) {
    auto it = m_lines.find(ext);
    if (it == m_lines.end() || !it->second.open) return;
    it->second.open = false;
    it->second.bEverClosed = true;
    it->second.closedAt = m_lastSeq;
}

ResumePlan EventJournal::PlanResume(const std::string& ext, std::uint64_t since, std::uint64_t liveFrom) const {
    ResumePlan plan;
    plan.gapFrom = since + 1;
    plan.gapTo = m_lastSeq;
    auto it = m_lines.find(ext);
    // A line closed after the client's last event (or opened only after it): nothing says what
    // happened on it meanwhile.
    if (it == m_lines.end() || !it->second.open) return plan;
    const LineRing& ring = it->second;
    if (ring.openedAt > since || (ring.bEverClosed && ring.closedAt >= since)) return plan;
    if (since >= liveFrom || ring.newest <= since) {
        plan.bReplay = true;
        return plan;
    }
    if (m_ringSize == 0) return plan;
    if (ring.newestEvicted > since) {
        plan.gapTo = ring.newestEvicted;
        return plan;
    }
    plan.bReplay = true;
    for (const StampedEvent& event : ring.events) {
        if (event.seq > since && event.seq <= liveFrom) plan.events.push_back(&event);
    }
    return plan;
}

}  // namespace zarn
