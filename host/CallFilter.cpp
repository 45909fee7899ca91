#include "CallFilter.h"

CallFilter::CallFilter(std::string inboundPrefix, std::string outboundPrefix)
    : m_inbound(std::move(inboundPrefix)), m_outbound(std::move(outboundPrefix)) {}

bool CallFilter::HidesNumber(bool bInbound, const std::string& number) const {
    const std::string& prefix = bInbound ? m_inbound : m_outbound;
    return !prefix.empty() && number.compare(0, prefix.size(), prefix) == 0;
}

bool CallFilter::Judge(std::uint32_t deviceId, std::uint32_t hCall, bool bInbound, const std::string& number) {
    bool bHidden = HidesNumber(bInbound, number);
    // Only hidden calls need remembering; a lost clear must not let the table grow for ever.
    if (bHidden) {
        if (m_hidden.size() >= kMaxTracked) m_hidden.clear();
        m_hidden[{deviceId, hCall}] = true;
    } else {
        m_hidden.erase({deviceId, hCall});
    }
    return bHidden;
}

bool CallFilter::IsHidden(std::uint32_t deviceId, std::uint32_t hCall) const {
    return m_hidden.count({deviceId, hCall}) != 0;
}

void CallFilter::Forget(std::uint32_t deviceId, std::uint32_t hCall) { m_hidden.erase({deviceId, hCall}); }
