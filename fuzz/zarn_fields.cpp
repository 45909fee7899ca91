// A client's ZARN line through the field parser and the request checks; the parsed fields
// rebuilt with the line builder parse back to the same fields.
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "ZarnCommands.h"
#include "ZarnFields.h"

namespace {

void RoundTrip(const zarn::FieldList& fields) {
    zarn::LineBuilder builder;
    for (const zarn::Field& f : fields.Fields()) builder.Add(f.key.c_str(), f.value);
    zarn::FieldList again;
    FUZZ_CHECK(zarn::ParseLine(builder.Text(), again) == zarn::ParseError::None);
    FUZZ_CHECK(again.Fields().size() == fields.Fields().size());
    for (std::size_t i = 0; i < fields.Fields().size(); ++i) {
        FUZZ_CHECK(again.Fields()[i].key == fields.Fields()[i].key);
        FUZZ_CHECK(again.Fields()[i].value == zarn::CleanValue(fields.Fields()[i].value));
    }
}

void CheckRequest(const zarn::FieldList& fields) {
    zarn::Request request;
    zarn::RequestError error;
    if (zarn::BuildRequest(fields, request, error)) {
        FUZZ_CHECK(request.info != nullptr);
        FUZZ_CHECK(request.invokeId.size() <= zarn::kMaxInvokeIdLength);
        FUZZ_CHECK(request.ext.empty() || zarn::IsValidExtension(request.ext));
        FUZZ_CHECK(request.dest.empty() || zarn::IsValidDestination(request.dest));
        FUZZ_CHECK(request.callData.size() <= zarn::kMaxCallDataLength);
        FUZZ_CHECK(request.password.size() <= zarn::kMaxPasswordLength);
    } else {
        FUZZ_CHECK(!error.code.empty());
    }
}

void CheckHiddenPassword(const std::string& line) {
    std::string shown = zarn::HidePasswords(line);
    zarn::FieldList fields;
    if (zarn::ParseLine(zarn::TypedLine(line), fields) != zarn::ParseError::None || !fields.Has("Password")) return;
    zarn::FieldList hidden;
    FUZZ_CHECK(zarn::ParseLine(shown, hidden) == zarn::ParseError::None);
    FUZZ_CHECK(*hidden.Find("Password") == "***");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    std::string line(reinterpret_cast<const char*>(bytes), size);
    zarn::FieldList fields;
    std::string problemKey;
    zarn::ParseError result = zarn::ParseLine(zarn::TypedLine(line), fields, &problemKey);
    FUZZ_CHECK(zarn::ParseErrorName(result) != nullptr);
    if (result == zarn::ParseError::None) {
        FUZZ_CHECK(!fields.Fields().empty() && fields.Fields().size() <= zarn::kMaxFields);
        RoundTrip(fields);
        CheckRequest(fields);
    } else {
        FUZZ_CHECK(fields.Fields().empty());
    }
    CheckHiddenPassword(line);
    return 0;
}
