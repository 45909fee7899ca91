#include "PbxConfig.h"

#include <cstdlib>
#include <sstream>

namespace tapisim {

namespace {

struct Field {
    std::string key;
    std::string value;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Splits "kind key=value key="quoted value" ..." into the kind and its fields.
bool SplitRecord(const std::string& text, std::string* kind, std::vector<Field>* fields, std::string* why) {
    std::size_t i = 0, n = text.size();
    auto skipBlanks = [&] {
        while (i < n && IsBlank(text[i])) ++i;
    };
    skipBlanks();
    while (i < n && !IsBlank(text[i])) kind->push_back(text[i++]);
    for (;;) {
        skipBlanks();
        if (i >= n) return true;
        Field field;
        while (i < n && text[i] != '=' && !IsBlank(text[i])) field.key.push_back(text[i++]);
        if (i >= n || text[i] != '=') {
            *why = "expected key=value at \"" + field.key + "\"";
            return false;
        }
        ++i;
        if (i < n && text[i] == '"') {
            std::size_t close = text.find('"', i + 1);
            if (close == std::string::npos) {
                *why = "unterminated quote in " + field.key;
                return false;
            }
            field.value = text.substr(i + 1, close - i - 1);
            i = close + 1;
        } else {
            while (i < n && !IsBlank(text[i])) field.value.push_back(text[i++]);
        }
        fields->push_back(field);
    }
}

bool ParseNumber(const std::string& text, uint32_t* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    unsigned long long v = std::strtoull(text.c_str(), &end, 0);
    if (*end != '\0' || text[0] == '-' || v > 0xFFFFFFFFull) return false;
    *value = static_cast<uint32_t>(v);
    return true;
}

bool SetNumber(const Field& field, uint32_t* target, std::string* why) {
    if (ParseNumber(field.value, target)) return true;
    *why = "bad number for " + field.key + ": \"" + field.value + "\"";
    return false;
}

bool SetFlag(const Field& field, bool* target, std::string* why) {
    uint32_t v = 0;
    if (!SetNumber(field, &v, why)) return false;
    *target = v != 0;
    return true;
}

bool ApplyLineField(const Field& f, LineConfig* line, std::string* why) {
    if (f.key == "name") return line->name = f.value, true;
    if (f.key == "address") return line->address = f.value, true;
    if (f.key == "provider") return line->provider = f.value, true;
    if (f.key == "permanentLineId") return SetNumber(f, &line->permanentLineId, why);
    if (f.key == "lineFeatures") return SetNumber(f, &line->lineFeatures, why);
    if (f.key == "addressFeatures") return SetNumber(f, &line->addressFeatures, why);
    if (f.key == "callFeatures") return SetNumber(f, &line->callFeatures, why);
    if (f.key == "callFeatures2") return SetNumber(f, &line->callFeatures2, why);
    if (f.key == "maxActiveCalls") return SetNumber(f, &line->maxActiveCalls, why);
    if (f.key == "maxConfCalls") return SetNumber(f, &line->maxConfCalls, why);
    if (f.key == "numAddresses") return SetNumber(f, &line->numAddresses, why);
    if (f.key == "unicode") return SetFlag(f, &line->unicode, why);
    if (f.key == "apiVersionHigh") return SetNumber(f, &line->apiVersionHigh, why);
    if (f.key == "extVersion") return SetNumber(f, &line->extVersion, why);
    if (f.key == "rejectExtVersion") return SetFlag(f, &line->rejectExtVersion, why);
    *why = "unknown line key " + f.key;
    return false;
}

bool ApplyPhoneField(const Field& f, PhoneConfig* phone, std::string* why) {
    if (f.key == "name") return phone->name = f.value, true;
    if (f.key == "phoneFeatures") return SetNumber(f, &phone->phoneFeatures, why);
    if (f.key == "unicode") return SetFlag(f, &phone->unicode, why);
    if (f.key == "extVersion") return SetNumber(f, &phone->extVersion, why);
    if (f.key == "rejectExtVersion") return SetFlag(f, &phone->rejectExtVersion, why);
    *why = "unknown phone key " + f.key;
    return false;
}

bool ParseRecord(const std::string& text, const LineConfig& lineDefaults, const PhoneConfig& phoneDefaults,
                 PbxConfig* out, std::string* why) {
    std::string kind;
    std::vector<Field> fields;
    if (!SplitRecord(text, &kind, &fields, why)) return false;
    if (kind == "line") {
        LineConfig line = lineDefaults;
        for (const Field& f : fields)
            if (!ApplyLineField(f, &line, why)) return false;
        out->lines.push_back(line);
        return true;
    }
    if (kind == "phone") {
        PhoneConfig phone = phoneDefaults;
        for (const Field& f : fields)
            if (!ApplyPhoneField(f, &phone, why)) return false;
        out->phones.push_back(phone);
        return true;
    }
    *why = "unknown record \"" + kind + "\" (line or phone)";
    return false;
}

bool IsIgnorable(const std::string& text) {
    std::size_t first = text.find_first_not_of(" \t\r");
    return first == std::string::npos || text[first] == '#';
}

}  // namespace

bool ParsePbxText(const std::string& text, const LineConfig& lineDefaults, const PhoneConfig& phoneDefaults,
                  PbxConfig* out, std::string* error) {
    PbxConfig result;
    std::istringstream in(text);
    std::string record;
    int number = 0;
    while (std::getline(in, record)) {
        ++number;
        if (number == 1 && record.compare(0, 3, "\xEF\xBB\xBF") == 0) record.erase(0, 3);  // UTF-8 BOM
        if (IsIgnorable(record)) continue;
        std::string why;
        if (!ParseRecord(record, lineDefaults, phoneDefaults, &result, &why)) {
            if (error) *error = "line " + std::to_string(number) + ": " + why;
            return false;
        }
    }
    *out = result;
    return true;
}

}  // namespace tapisim
