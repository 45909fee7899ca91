// Client input through the line gatherer, then the token lists of a connection.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <string>

#include "FuzzCheck.h"
#include "LineGatherer.h"
#include "TokenList.h"

namespace {

// Every byte of the stream: a complete line is exactly the bytes since the last line end, never
// holds a line end and fits the buffer; an over-long line is dropped whole.
void GatherStream(const std::string& stream) {
    char line[vessnet::kLineSize];
    std::uint32_t length = 0;
    vessnet::LineSkip skip;
    vessnet::ClearLine(line, length);
    std::string since;  // bytes since the last line end
    for (char c : stream) {
        vessnet::Gathered g = vessnet::GatherByte(line, length, skip, c);
        FUZZ_CHECK(length < vessnet::kLineSize);
        if (!vessnet::IsLineEnd(c)) {
            since += c;
            FUZZ_CHECK(g ==
                       (since.size() < vessnet::kLineSize ? vessnet::Gathered::Stored : vessnet::Gathered::Skipped));
            continue;
        }
        switch (g) {
        case vessnet::Gathered::Complete:
            FUZZ_CHECK(std::string(line, length) == since);
            FUZZ_CHECK(std::strlen(line) == length);
            vessnet::ClearLine(line, length);
            break;
        case vessnet::Gathered::Ignored:
            FUZZ_CHECK(since.empty());
            break;
        case vessnet::Gathered::Dropped:
            FUZZ_CHECK(since.size() >= vessnet::kLineSize);
            FUZZ_CHECK(skip.bytes == since.size());
            break;
        default:
            FUZZ_CHECK(!"a line end is never stored or skipped");
        }
        since.clear();
    }
}

void TokenOperations(FuzzedDataProvider& data) {
    char list[vessnet::kTokenListSize] = {};
    while (data.remaining_bytes() > 0) {
        int op = data.ConsumeIntegralInRange(0, 4);
        std::string token = data.ConsumeRandomLengthString(80);
        char entry[vessnet::kTokenEntrySize];
        vessnet::MakeTokenEntry(entry, token.c_str());
        FUZZ_CHECK(std::strlen(entry) < vessnet::kTokenEntrySize);
        std::size_t before = std::strlen(list);
        switch (op) {
        case 0:
            vessnet::TokenListSet(list, entry);
            FUZZ_CHECK(std::strcmp(list, entry) == 0);
            break;
        case 1:
            vessnet::TokenListAdd(list, entry);
            if (before + std::strlen(entry) < vessnet::kTokenListSize - 1)
                FUZZ_CHECK(vessnet::TokenListMatches(list, entry));
            break;
        case 2:
            vessnet::TokenListRemove(list, entry);
            FUZZ_CHECK(std::strlen(list) <= before);
            break;
        case 3: {
            char first[vessnet::kFirstTokenSize];
            vessnet::TokenListFirst(first, list);
            FUZZ_CHECK(std::strlen(first) < vessnet::kFirstTokenSize - 1);
            FUZZ_CHECK(!std::strchr(first, '|'));
            break;
        }
        default:
            vessnet::TokenListMatches(list, token.c_str());
        }
        FUZZ_CHECK(std::strlen(list) < vessnet::kTokenListSize - 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    // A long stream stretched out of a few bytes reaches the over-long line handling.
    std::size_t repeat = data.ConsumeIntegralInRange<std::size_t>(1, 8);
    std::string chunk = data.ConsumeRandomLengthString(4096);
    std::string stream;
    for (std::size_t i = 0; i < repeat; ++i) stream += chunk;
    GatherStream(stream);
    TokenOperations(data);
    return 0;
}
