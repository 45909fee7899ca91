// The number filters of the settings file. FilterInbound hides inbound calls whose caller
// number starts with it, FilterOutbound outbound calls whose dialled number starts with it;
// an empty filter hides nothing. A call is judged once its number is known (when it rings,
// or when the destination is reached) and stays hidden until it is cleared.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

class CallFilter {
public:
    CallFilter(std::string inboundPrefix, std::string outboundPrefix);

    bool HidesNumber(bool bInbound, const std::string& number) const;
    // Judges the call by its number and remembers the verdict; true when hidden.
    bool Judge(std::uint32_t deviceId, std::uint32_t hCall, bool bInbound, const std::string& number);
    bool IsHidden(std::uint32_t deviceId, std::uint32_t hCall) const;
    void Forget(std::uint32_t deviceId, std::uint32_t hCall);
    std::size_t TrackedCalls() const { return m_hidden.size(); }

private:
    enum : std::size_t { kMaxTracked = 4096 };
    std::string m_inbound;
    std::string m_outbound;
    std::map<std::pair<std::uint32_t, std::uint32_t>, bool> m_hidden;
};
