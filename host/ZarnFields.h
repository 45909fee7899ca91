// ZARN line syntax: a line is a run of brace fields, {Key:Value}{Key:Value}...
//
// Parsing never trusts the input: every failure gives a reason, never a partial result.
// Formatting cleans values so that no text the service passes on can break a client's parser.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace zarn {

enum : std::size_t {
    kMaxLineLength = 2047,  // longer lines never reach the service: the connection server drops them
    kMaxKeyLength = 20,
    kMaxValueLength = 255,
    kMaxFields = 16,
};

enum class ParseError {
    None,
    Empty,         // nothing but blanks
    Malformed,     // not a run of {Key:Value} fields
    DuplicateKey,  // the same key twice in one line
    TooManyFields,
    KeyTooLong,
    ValueTooLong,
    Binary,  // control characters in the line
};

struct Field {
    std::string key;
    std::string value;
};

class FieldList {
public:
    // Case-insensitive key lookup; null when the key is absent.
    const std::string* Find(const std::string& key) const;
    bool Has(const std::string& key) const { return Find(key) != nullptr; }
    const std::vector<Field>& Fields() const { return m_fields; }
    void Add(std::string key, std::string value);

private:
    std::vector<Field> m_fields;
};

// Parses one line. Blanks between fields and around the line are allowed; keys are letters
// and digits starting with a letter; values hold any printable character except braces.
// pProblemKey (may be null) names the key of a DuplicateKey or ValueTooLong error.
ParseError ParseLine(const std::string& line, FieldList& out, std::string* pProblemKey = nullptr);
// People paste the examples they see, in which braces stand as parentheses: a line made only
// of (Key:Value) fields is taken as the same fields in braces. Any other line comes back as it is.
std::string TypedLine(const std::string& line);
// The line as the protocol file may show it: password values replaced by ***; a line that
// cannot be read but names a password is not shown at all.
std::string HidePasswords(const std::string& line);
const char* ParseErrorName(ParseError error);
// The Text of the LineTooLong answer. nLength is the dropped line's length, INT_MAX when it was
// at least that long. Only the length: the line itself may hold a password.
std::string LineTooLongText(int nLength);

// Builds an output line field by field.
class LineBuilder {
public:
    LineBuilder& Add(const char* key, const std::string& value);
    LineBuilder& Add(const char* key, long long value);
    const std::string& Text() const { return m_text; }

private:
    std::string m_text;
};

// The value as it may stand inside a field: braces become parentheses, control characters '?',
// cut to kMaxValueLength.
std::string CleanValue(const std::string& value);

bool EqualsNoCase(const std::string& a, const std::string& b);

}  // namespace zarn
