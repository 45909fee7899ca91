// Settings-file integers and ring log-file names over any text.
#include <fuzzer/FuzzedDataProvider.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzCheck.h"
#include "IniValue.h"
#include "LogFormat.h"

namespace {

// The C runtime's reading of a decimal number, saturated to int.
int ReferenceInt(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::strchr(" \t\n\r\v\f", text[i]) && text[i]) ++i;
    std::size_t sign = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return 0;
    errno = 0;
    long long v = std::strtoll(text.c_str() + sign, nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

// True when the first conversion the pattern holds (after any "%%") is an integer one whose
// output for 0 and for 1 must differ: flags, a width and a precision of one digit each, a
// length modifier, then d i u x X o.
bool HasSmallIntegerConversion(const char* p) {
    for (; *p; ++p) {
        if (*p != '%') continue;
        if (p[1] == '%') {
            ++p;
            continue;
        }
        const char* q = p + 1;
        while (*q && std::strchr("-+ 0#", *q)) ++q;
        if (q - p > 5) return false;
        const char* width = q;
        while (*q >= '0' && *q <= '9') ++q;
        if (q - width > 1) return false;
        if (*q == '.') {
            ++q;
            const char* precision = q;
            while (*q >= '0' && *q <= '9') ++q;
            if (q - precision > 1) return false;
        }
        if ((q[0] == 'h' && q[1] == 'h') || (q[0] == 'l' && q[1] == 'l'))
            q += 2;
        else if (*q == 'h' || *q == 'l')
            ++q;
        if (*q && std::strchr("diuxXo", *q)) return true;
    }
    return false;
}

void RingNames(FuzzedDataProvider& data) {
    std::string pattern = data.ConsumeRandomLengthString(200);
    unsigned index = data.ConsumeIntegral<unsigned>();
    std::size_t capacity = data.ConsumeIntegralInRange<std::size_t>(1, 300);
    std::string out(capacity, 'x');
    std::size_t n = toolfunc_detail::FormatRingFileName(pattern.c_str(), index, &out[0], capacity);
    FUZZ_CHECK(n < capacity && n == std::strlen(out.c_str()));

    // Each file of the ring gets a name of its own.
    char first[1024], second[1024];
    toolfunc_detail::FormatRingFileName(pattern.c_str(), 0, first, sizeof first);
    toolfunc_detail::FormatRingFileName(pattern.c_str(), 1, second, sizeof second);
    if (HasSmallIntegerConversion(pattern.c_str())) FUZZ_CHECK(std::strcmp(first, second) != 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    std::string value = data.ConsumeRandomLengthString(64);
    FUZZ_CHECK(toolfunc_detail::IniTextToInt(value.c_str()) == ReferenceInt(value.c_str()));
    RingNames(data);
    return 0;
}
