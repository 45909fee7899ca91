#include "StreamFormat.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace zarn {

namespace {

const char* const kLineEvents[] = {
    "CallOriginated",   "CallReceived",    "CallDelivered", "CallEstablished", "CallHeld",
    "CallRetrieved",    "CallTransferred", "CallDiverted",  "CallConferenced", "CallConfRemoved",
    "CallDisconnected", "CallFailed",      "CallCleared",   "CallRecord",      "CommandFailed",
    "PhoneState",       "HookState",       "Forwarding",    "DoNotDisturb",    "DeviceInformation",
};

std::string Trim(const std::string& text) {
    std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

void AppendJsonString(std::string& out, const std::string& text) {
    out += '"';
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u >= 0x7F) {
            // Bytes above 127 as their code points: the line stays ASCII, whatever the code page.
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    out += '"';
}

}  // namespace

bool IsLineEventName(const std::string& name) {
    for (const char* known : kLineEvents) {
        if (name == known) return true;
    }
    return false;
}

bool EventFilter::Set(const std::string& list, std::string* pBadName) {
    std::set<std::string> names;
    std::size_t pos = 0;
    while (!Trim(list).empty() && pos <= list.size()) {
        std::size_t end = list.find(',', pos);
        if (end == std::string::npos) end = list.size();
        std::string name = Trim(list.substr(pos, end - pos));
        if (!IsLineEventName(name)) {
            if (pBadName) *pBadName = name;
            return false;
        }
        names.insert(name);
        pos = end + 1;
    }
    m_names.swap(names);
    return true;
}

std::string EventFilter::Text() const {
    if (m_names.empty()) return "All";
    std::string text;
    for (const char* known : kLineEvents) {
        if (!m_names.count(known)) continue;
        if (!text.empty()) text += ",";
        text += known;
    }
    return text;
}

std::string BraceToJson(const std::string& line) {
    std::string out = "{";
    std::size_t pos = 0;
    while (pos < line.size()) {
        std::size_t colon = line.find(':', pos);
        std::size_t close = line.find('}', pos);
        if (line[pos] != '{' || colon == std::string::npos || close == std::string::npos || colon > close) {
            std::string whole = "{";
            AppendJsonString(whole, "Text");
            whole += ':';
            AppendJsonString(whole, line);
            return whole + "}";
        }
        if (out.size() > 1) out += ',';
        AppendJsonString(out, line.substr(pos + 1, colon - pos - 1));
        out += ':';
        AppendJsonString(out, line.substr(colon + 1, close - colon - 1));
        pos = close + 1;
    }
    return out + "}";
}

std::size_t WireLength(const std::string& line) {
    std::size_t length = std::strlen(line.c_str());
    if (length > 2047) length = 2047;
    if (length <= 2044) return length + 2;
    return length == 2045 ? 2046 : length;
}

}  // namespace zarn
