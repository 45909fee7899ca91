#include "ZarnFields.h"

#include <cctype>
#include <climits>

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

ParseError ParseLine(const std::string& line, FieldList& out, std::string* pProblemKey) {
    out = FieldList();
    std::string ignored;
    std::string& problemKey = pProblemKey ? *pProblemKey : ignored;
    problemKey.clear();
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
        if (i - valueStart > kMaxValueLength) {
            problemKey = key;
            return ParseError::ValueTooLong;
        }
        if (fields.Has(key)) {
            problemKey = key;
            return ParseError::DuplicateKey;
        }
        if (fields.Fields().size() == kMaxFields) return ParseError::TooManyFields;
        fields.Add(std::move(key), line.substr(valueStart, i - valueStart));
        ++i;
    }
    if (fields.Fields().empty()) return ParseError::Empty;
    out = std::move(fields);
    return ParseError::None;
}

std::string TypedLine(const std::string& line) {
    std::size_t first = line.find_first_not_of(" \t");
    std::size_t last = line.find_last_not_of(" \t");
    if (first == std::string::npos || line[first] != '(' || line[last] != ')') return line;
    if (line.find_first_of("{}") != std::string::npos) return line;
    // A field starts at "(" + key + ":" at the start or right after a field's ")"; it ends at
    // the ")" before the next start, so values may hold parentheses themselves.
    std::vector<std::size_t> starts;
    for (std::size_t i = first; i <= last; ++i) {
        if (line[i] != '(') continue;
        std::size_t before = i == first ? std::string::npos : line.find_last_not_of(" \t", i - 1);
        if (i != first && (before == std::string::npos || line[before] != ')')) continue;
        std::size_t k = i + 1;
        while (k <= last && std::isalnum(static_cast<unsigned char>(line[k]))) ++k;
        if (k == i + 1 || k > last || line[k] != ':' || !std::isalpha(static_cast<unsigned char>(line[i + 1])))
            continue;
        starts.push_back(i);
    }
    if (starts.empty() || starts.front() != first) return line;
    std::string out;
    for (std::size_t n = 0; n < starts.size(); ++n) {
        std::size_t end = n + 1 < starts.size() ? line.find_last_not_of(" \t", starts[n + 1] - 1) : last;
        if (line[end] != ')' || end <= starts[n]) return line;
        out += '{' + line.substr(starts[n] + 1, end - starts[n] - 1) + '}';
    }
    return out;
}

std::string HidePasswords(const std::string& line) {
    FieldList fields;
    if (ParseLine(TypedLine(line), fields) == ParseError::None) {
        if (!fields.Has("Password")) return line;
        std::string out;
        for (const Field& f : fields.Fields())
            out += '{' + f.key + ':' + (EqualsNoCase(f.key, "Password") ? std::string("***") : f.value) + '}';
        return out;
    }
    // A broken line may still hold a guess: show none of it.
    std::string lower;
    for (char c : line) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower.find("password") != std::string::npos) return "(a line naming a password, not shown)";
    return line;
}

const char* ParseErrorName(ParseError error) {
    switch (error) {
    case ParseError::None:
        return "None";
    case ParseError::Empty:
        return "Empty";
    case ParseError::Malformed:
        return "Malformed";
    case ParseError::DuplicateKey:
        return "DuplicateField";
    case ParseError::TooManyFields:
        return "TooManyFields";
    case ParseError::KeyTooLong:
        return "KeyTooLong";
    case ParseError::ValueTooLong:
        return "ValueTooLong";
    case ParseError::Binary:
        return "BinaryInput";
    }
    return "Malformed";
}

std::string LineTooLongText(int nLength) {
    std::string length = std::to_string(nLength) + (nLength == INT_MAX ? " or more" : "");
    return "the line had " + length + " characters and was dropped unread; a line holds at most " +
           std::to_string(kMaxLineLength);
}

std::string CleanValue(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        if (out.size() == kMaxValueLength) break;
        if (c == '{')
            c = '(';
        else if (c == '}')
            c = ')';
        else if (IsControl(static_cast<unsigned char>(c)))
            c = '?';
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
