#pragma once

#include <string>

namespace verolux {

// One value read from a JSON text, as the web page sent it: the JSON reader produces it and
// the report engine converts it to a field's or parameter's type.
struct ScalarValue {
    enum class Kind { Empty, Text, Number, Boolean };

    Kind kind = Kind::Empty;
    // Text: the string unchanged. Number: its shortest decimal text, as a browser script prints it
    // (integers beyond 2^53 exactly as written). Boolean: "true" or "false". Empty: "".
    std::string text;

    static ScalarValue empty() { return {}; }
    static ScalarValue fromText(std::string s) { return {Kind::Text, std::move(s)}; }
    static ScalarValue fromNumber(std::string decimal) { return {Kind::Number, std::move(decimal)}; }
    static ScalarValue fromBool(bool b) { return {Kind::Boolean, b ? "true" : "false"}; }

    bool isEmpty() const { return kind == Kind::Empty; }
    bool boolValue() const { return kind == Kind::Boolean && text == "true"; }
    friend bool operator==(const ScalarValue&, const ScalarValue&) = default;
};

} // namespace verolux
