#include "agent/reports/model/JsonSyntax.h"

#include <cctype>
#include <utility>

namespace verolux::reports {

namespace {

class Checker {
  public:
    Checker(std::string_view t, int maxDepth) : m_t(t), m_maxDepth(maxDepth) {}

    bool run(JsonSyntaxError& e) {
        skipSpace();
        if (!value(0)) return fail(e);
        skipSpace();
        if (m_pos != m_t.size()) {
            m_reason = "unexpected text after the end of the document";
            return fail(e);
        }
        return true;
    }

  private:
    bool fail(JsonSyntaxError& e) {
        e.offset = m_pos;
        e.line = 1;
        e.column = 1;
        for (size_t i = 0; i < m_pos && i < m_t.size(); ++i) {
            if (m_t[i] == '\n') {
                ++e.line;
                e.column = 1;
            } else {
                ++e.column;
            }
        }
        e.reason = m_reason;
        e.tooDeep = m_tooDeep;
        return false;
    }
    bool error(std::string why) {
        m_reason = std::move(why);
        return false;
    }
    void skipSpace() {
        while (m_pos < m_t.size() &&
               (m_t[m_pos] == ' ' || m_t[m_pos] == '\n' || m_t[m_pos] == '\r' || m_t[m_pos] == '\t'))
            ++m_pos;
    }
    bool literal(std::string_view word) {
        if (m_t.substr(m_pos, word.size()) != word) return error("unknown literal");
        m_pos += word.size();
        return true;
    }
    bool digits() {
        size_t start = m_pos;
        while (m_pos < m_t.size() && m_t[m_pos] >= '0' && m_t[m_pos] <= '9')
            ++m_pos;
        return m_pos > start || error("digit expected");
    }
    bool number() {
        if (m_t[m_pos] == '-') ++m_pos;
        if (m_pos < m_t.size() && m_t[m_pos] == '0') {
            ++m_pos;
        } else if (!digits()) {
            return false;
        }
        if (m_pos < m_t.size() && m_t[m_pos] == '.') {
            ++m_pos;
            if (!digits()) return false;
        }
        if (m_pos < m_t.size() && (m_t[m_pos] == 'e' || m_t[m_pos] == 'E')) {
            ++m_pos;
            if (m_pos < m_t.size() && (m_t[m_pos] == '+' || m_t[m_pos] == '-')) ++m_pos;
            if (!digits()) return false;
        }
        return true;
    }
    bool string() {
        ++m_pos; // opening quote
        while (m_pos < m_t.size()) {
            unsigned char c = static_cast<unsigned char>(m_t[m_pos]);
            if (c == '"') {
                ++m_pos;
                return true;
            }
            if (c < 0x20) return error("control character inside a string");
            if (c == '\\') {
                ++m_pos;
                if (m_pos >= m_t.size()) break;
                char esc = m_t[m_pos];
                if (esc == 'u') {
                    for (int i = 1; i <= 4; ++i) {
                        if (m_pos + i >= m_t.size() || !isxdigit(static_cast<unsigned char>(m_t[m_pos + i])))
                            return error("bad \\u escape");
                    }
                    m_pos += 4;
                } else if (std::string_view("\"\\/bfnrt").find(esc) == std::string_view::npos) {
                    return error("bad escape in a string");
                }
            }
            ++m_pos;
        }
        return error("string not closed");
    }
    // `depth`: the arrays and objects around this value.
    bool value(int depth) {
        if (m_pos >= m_t.size()) return error("value expected, text ends");
        char c = m_t[m_pos];
        if ((c == '{' || c == '[') && depth >= m_maxDepth) {
            m_tooDeep = true;
            return error("nested deeper than " + std::to_string(m_maxDepth) + " levels");
        }
        if (c == '{') return object(depth);
        if (c == '[') return array(depth);
        if (c == '"') return string();
        if (c == 't') return literal("true");
        if (c == 'f') return literal("false");
        if (c == 'n') return literal("null");
        if (c == '-' || (c >= '0' && c <= '9')) return number();
        return error("value expected");
    }
    bool object(int depth) {
        return list('}', "',' or '}' expected", [&] {
            if (m_pos >= m_t.size() || m_t[m_pos] != '"') return error("member name expected");
            if (!string()) return false;
            skipSpace();
            if (m_pos >= m_t.size() || m_t[m_pos] != ':') return error("':' expected");
            ++m_pos;
            skipSpace();
            return value(depth + 1);
        });
    }
    bool array(int depth) {
        return list(']', "',' or ']' expected", [&] { return value(depth + 1); });
    }
    // The opening bracket at m_pos, then elements separated by commas up to `close`.
    template <class Element> bool list(char close, const char* separatorExpected, Element element) {
        ++m_pos;
        skipSpace();
        if (m_pos < m_t.size() && m_t[m_pos] == close) {
            ++m_pos;
            return true;
        }
        for (;;) {
            skipSpace();
            if (!element()) return false;
            skipSpace();
            if (m_pos < m_t.size() && m_t[m_pos] == ',') {
                ++m_pos;
                continue;
            }
            if (m_pos < m_t.size() && m_t[m_pos] == close) {
                ++m_pos;
                return true;
            }
            return error(separatorExpected);
        }
    }

    std::string_view m_t;
    int m_maxDepth;
    size_t m_pos = 0;
    std::string m_reason;
    bool m_tooDeep = false;
};

} // namespace

bool CheckJsonSyntax(std::string_view text, JsonSyntaxError& error, int maxDepth) {
    return Checker(text, maxDepth).run(error);
}

} // namespace verolux::reports
