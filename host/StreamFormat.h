// What a ZARN 2 connection chooses about its stream: which line events it gets, and whether
// its lines go out in brace form or as JSON. Standard library only.
#pragma once

#include <cstddef>
#include <set>
#include <string>

namespace zarn {

// The line events a connection wants; every one until it names some.
class EventFilter {
public:
    // "CallReceived,CallCleared" (blanks around names allowed; empty: every event). On an
    // unknown name returns false with it in *pBadName and changes nothing.
    bool Set(const std::string& list, std::string* pBadName = nullptr);
    bool Passes(const std::string& eventName) const { return m_names.empty() || m_names.count(eventName) != 0; }
    // The list as stored, in the order of the known names, or "All".
    std::string Text() const;

private:
    std::set<std::string> m_names;
};

// The events that name a line and go to its monitors.
bool IsLineEventName(const std::string& name);

// A brace line as one JSON object: the same keys in the same order, every value a string.
// Control characters and bytes above 127 are written \u00XX, so the object is plain ASCII.
// A line that is not a run of {Key:Value} fields comes back as a JSON object with one key, "Text".
std::string BraceToJson(const std::string& line);

// The bytes the connection server puts on the wire for a line sent to one client: the text up
// to its first NUL (at most 2047 characters) and as much of CR LF as fits in 2046 characters.
std::size_t WireLength(const std::string& line);

}  // namespace zarn
