#include "ZarnFields.h"

#include <cctype>

namespace zarn {

namespace {

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool EqualsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

const std::string* FieldList::Find(const std::string& key) const {
    for (const Field& f : m_fields) {
        if (EqualsNoCase(f.key, key)) return &f.value;
    }
    return nullptr;
}

void FieldList::Add(std::string key, std::string value) { m_fields.push_back({std::move(key), std::move(value)}); }

ParseError ParseLine(const std::string& line, FieldList& out) {
    out = FieldList();
    for (char c : line) {
        // Tabs count as blanks; every other control character marks binary input.
        if (IsControl(static_cast<unsigned char>(c)) && c != '\t') return ParseError::Binary;
    }
    FieldList fields;
    std::size_t i = 0;
    const std::size_t n = line.size();
    for (;;) {
        while (i < n && IsBlank(line[i])) ++i;
        if (i == n) break;
        if (line[i] != '{') return ParseError::Malformed;
        ++i;
        std::size_t keyStart = i;
        while (i < n && std::isalnum(static_cast<unsigned char>(line[i]))) ++i;
        std::size_t keyLength = i - keyStart;
        if (keyLength == 0 || !std::isalpha(static_cast<unsigned char>(line[keyStart])) || i == n || line[i] != ':')
            return ParseError::Malformed;
        if (keyLength > kMaxKeyLength) return ParseError::KeyTooLong;
        std::string key = line.substr(keyStart, keyLength);
        ++i;
        std::size_t valueStart = i;
        while (i < n && line[i] != '}' && line[i] != '{') ++i;
        if (i == n || line[i] != '}') return ParseError::Malformed;
        if (i - valueStart > kMaxValueLength) return ParseError::ValueTooLong;
        if (fields.Has(key)) return ParseError::DuplicateKey;
        if (fields.Fields().size() == kMaxFields) return ParseError::TooManyFields;
        fields.Add(std::move(key), line.substr(valueStart, i - valueStart));
        ++i;
    }
    if (fields.Fields().empty()) return ParseError::Empty;
    out = std::move(fields);
    return ParseError::None;
}

const char* ParseErrorName(ParseError error) {
    switch (error) {
        case ParseError::None: return "None";
        case ParseError::Empty: return "Empty";
        case ParseError::Malformed: return "Malformed";
        case ParseError::DuplicateKey: return "DuplicateField";
        case ParseError::TooManyFields: return "TooManyFields";
        case ParseError::KeyTooLong: return "KeyTooLong";
        case ParseError::ValueTooLong: return "ValueTooLong";
        case ParseError::Binary: return "BinaryInput";
    }
    return "Malformed";
}

std::string CleanValue(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        if (out.size() == kMaxValueLength) break;
        if (c == '{') c = '(';
        else if (c == '}') c = ')';
        else if (IsControl(static_cast<unsigned char>(c))) c = '?';
        out += c;
    }
    return out;
}

LineBuilder& LineBuilder::Add(const char* key, const std::string& value) {
    m_text += '{';
    m_text += key;
    m_text += ':';
    m_text += CleanValue(value);
    m_text += '}';
    return *this;
}

LineBuilder& LineBuilder::Add(const char* key, long long value) { return Add(key, std::to_string(value)); }

}  // namespace zarn
