// The number filters: the library's party-number and address rules and the service's call
// filter over any text.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <string>

#include "CallFilter.h"
#include "FuzzCheck.h"
#include "TextRules.h"

namespace {

bool AllOf(const std::string& text, const char* allowed) {
    for (char c : text)
        if (!std::strchr(allowed, c)) return false;
    return true;
}

// `kept` is `text` with characters left out, none added or reordered.
bool IsSubsequence(const std::string& kept, const std::string& text) {
    std::size_t i = 0;
    for (char c : text)
        if (i < kept.size() && kept[i] == c) ++i;
    return i == kept.size();
}

void LibraryRules(const std::string& text) {
    std::string buffer = text + '\0';
    linvoq::FilterPartyNumber(&buffer[0]);
    std::string party = buffer.c_str();
    FUZZ_CHECK(AllOf(party, "+()0123456789") && IsSubsequence(party, text));

    buffer = text + '\0';
    linvoq::KeepDigits(&buffer[0]);
    std::string digits = buffer.c_str();
    FUZZ_CHECK(AllOf(digits, "0123456789") && IsSubsequence(digits, text));

    buffer = party + '\0';
    linvoq::DropPlusBeforeZero(&buffer[0]);
    std::string dropped = buffer.c_str();
    FUZZ_CHECK(dropped == party || (party.compare(0, 2, "+0") == 0 && dropped == party.substr(1)));

    buffer = text + '\0';
    char address[32];
    std::memset(address, 'x', sizeof address);
    linvoq::PlausibleAddressFromName(&buffer[0], address, sizeof address);
    std::string derived(address, strnlen(address, sizeof address));
    FUZZ_CHECK(derived.size() < sizeof address);
    FUZZ_CHECK(AllOf(derived, "0123456789"));
    FUZZ_CHECK(derived.empty() || derived.size() >= 2);

    char small[8];
    linvoq::CopyText(small, sizeof small, text.c_str(), 5);
    FUZZ_CHECK(strnlen(small, sizeof small) <= 5);
}

void ServiceFilter(FuzzedDataProvider& data) {
    std::string inbound = data.ConsumeRandomLengthString(16), outbound = data.ConsumeRandomLengthString(16);
    CallFilter filter(inbound, outbound);
    while (data.remaining_bytes() > 0) {
        bool bInbound = data.ConsumeBool();
        std::uint32_t device = data.ConsumeIntegralInRange<std::uint32_t>(0, 3);
        std::uint32_t call = data.ConsumeIntegralInRange<std::uint32_t>(0, 7);
        std::string number = data.ConsumeRandomLengthString(24);
        const std::string& prefix = bInbound ? inbound : outbound;
        bool hides = filter.HidesNumber(bInbound, number);
        FUZZ_CHECK(hides == (!prefix.empty() && number.compare(0, prefix.size(), prefix) == 0));
        if (data.ConsumeBool()) {
            FUZZ_CHECK(filter.Judge(device, call, bInbound, number) == hides);
            FUZZ_CHECK(filter.IsHidden(device, call) == hides);
        } else {
            filter.Forget(device, call);
            FUZZ_CHECK(!filter.IsHidden(device, call));
        }
        FUZZ_CHECK(filter.TrackedCalls() <= 4 * 8);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    LibraryRules(data.ConsumeRandomLengthString(200));
    ServiceFilter(data);
    return 0;
}
