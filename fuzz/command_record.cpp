// Command records: any record text through the field reader, and records written with the
// library's own formats read back field by field.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <string>

#include "CommandRecord.h"
#include "FuzzCheck.h"

namespace {

// A value as the library files it: no braces, no NUL.
std::string PlainValue(FuzzedDataProvider& data) {
    std::string v = data.ConsumeRandomLengthString(48);
    std::string out;
    for (char c : v)
        if (c != '{' && c != '}' && c != '\0') out += c;
    return out;
}

void ReadAnyRecord(FuzzedDataProvider& data) {
    std::string record = data.ConsumeRandomLengthString(400);
    std::string key = data.ConsumeRandomLengthString(40);
    std::size_t maxChars = data.ConsumeIntegralInRange<std::size_t>(0, 300);
    std::size_t outSize = data.ConsumeIntegralInRange<std::size_t>(1, 300);
    std::string out(outSize, 'x');
    linvoq::FindRecordField(record.c_str(), key.c_str(), &out[0], outSize, maxChars);
    std::size_t len = std::strlen(out.c_str());
    FUZZ_CHECK(len < outSize && len <= maxChars);
    FUZZ_CHECK(!std::strchr(out.c_str(), '}'));
}

void WriteThenRead(FuzzedDataProvider& data) {
    static linvoq::CReplyStack stack;
    std::uint32_t id = data.ConsumeIntegral<std::uint32_t>();
    int orgCmdId = data.ConsumeIntegral<int>();
    std::string ext = PlainValue(data), dest = PlainValue(data);
    stack.Store(id, "{Cmd:MakeCall}{OrgCmdId:%d}{CmdId:%d}{Ext:%s}{Dest:%s}", orgCmdId, static_cast<int>(id),
                ext.c_str(), dest.c_str());
    char record[linvoq::CReplyStack::MAX_TEXT + 1];
    stack.Lookup(id, record, sizeof record);
    char value[linvoq::CReplyStack::MAX_TEXT + 1];
    FUZZ_CHECK(std::strcmp(linvoq::FindRecordField(record, "Cmd", value, sizeof value, 64), "MakeCall") == 0);
    FUZZ_CHECK(std::stoll(linvoq::FindRecordField(record, "OrgCmdId", value, sizeof value, 64)) == orgCmdId);
    // Ext and Dest come back whole when the record fits its slot.
    std::string whole = std::string(record);
    if (whole.size() < linvoq::CReplyStack::MAX_TEXT) {
        FUZZ_CHECK(ext == linvoq::FindRecordField(record, "Ext", value, sizeof value, 255));
        FUZZ_CHECK(dest == linvoq::FindRecordField(record, "Dest", value, sizeof value, 255));
    }
    std::uint32_t other = id + 128 * data.ConsumeIntegralInRange<std::uint32_t>(1, 4);
    stack.Lookup(other, record, sizeof record);  // the same slot under another id: nothing
    FUZZ_CHECK(record[0] == '\0');
    stack.Clear(id);
    stack.Lookup(id, record, sizeof record);
    FUZZ_CHECK(id == 0 || record[0] == '\0');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    ReadAnyRecord(data);
    WriteThenRead(data);
    return 0;
}
