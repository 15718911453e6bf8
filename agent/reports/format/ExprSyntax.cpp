#include "agent/reports/format/ExprSyntax.h"

#include <algorithm>

namespace verolux::reports::format::expr {

namespace {

bool IsNameStart(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
}
bool IsNameChar(unsigned char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

struct Token {
    enum class Kind : uint8_t { End, Number, Text, Name, Parameter, System, Punct };
    Kind kind = Kind::End;
    size_t pos = 0;
    std::string text; // Punct: the operator ("<=", "(", ...)
};

struct Failure {
    SyntaxError error;
};

[[noreturn]] void fail(size_t pos, std::string message) {
    throw Failure{SyntaxError{pos, std::move(message)}};
}

class Lexer {
  public:
    explicit Lexer(std::string_view s) : m_s(s) {}

    Token next() {
        while (m_i < m_s.size() &&
               (m_s[m_i] == ' ' || m_s[m_i] == '\t' || m_s[m_i] == '\n' || m_s[m_i] == '\r'))
            ++m_i;
        Token t;
        t.pos = m_i;
        if (m_i >= m_s.size()) return t;
        const char c = m_s[m_i];
        if (IsDigit(c) || (c == '.' && m_i + 1 < m_s.size() && IsDigit(m_s[m_i + 1]))) {
            t.kind = Token::Kind::Number;
            while (m_i < m_s.size() && IsDigit(m_s[m_i]))
                t.text += m_s[m_i++];
            if (m_i < m_s.size() && m_s[m_i] == '.') {
                t.text += m_s[m_i++];
                if (m_i >= m_s.size() || !IsDigit(m_s[m_i])) fail(m_i, "expected a digit after the point");
                while (m_i < m_s.size() && IsDigit(m_s[m_i]))
                    t.text += m_s[m_i++];
            }
            if (m_i < m_s.size() && IsNameChar(static_cast<unsigned char>(m_s[m_i])))
                fail(m_i, "a number runs into a name");
            return t;
        }
        if (c == '"' || c == '\'') {
            t.kind = Token::Kind::Text;
            ++m_i;
            for (;;) {
                if (m_i >= m_s.size()) fail(t.pos, "the text has no closing quote");
                if (m_s[m_i] == c) {
                    if (m_i + 1 < m_s.size() && m_s[m_i + 1] == c) { // a doubled quote stands for itself
                        t.text += c;
                        m_i += 2;
                        continue;
                    }
                    ++m_i;
                    return t;
                }
                t.text += m_s[m_i++];
            }
        }
        if (c == '$' || c == '#' || IsNameStart(static_cast<unsigned char>(c))) {
            t.kind = c == '$' ? Token::Kind::Parameter : c == '#' ? Token::Kind::System : Token::Kind::Name;
            if (c == '$' || c == '#') ++m_i;
            const size_t start = m_i;
            while (m_i < m_s.size() && IsNameChar(static_cast<unsigned char>(m_s[m_i])))
                ++m_i;
            if (m_i == start) fail(t.pos, std::string("expected a name after '") + c + "'");
            t.text = std::string(m_s.substr(start, m_i - start));
            return t;
        }
        static constexpr std::string_view kTwo[] = {"<=", ">=", "<>", "!=", "=="};
        for (std::string_view op : kTwo)
            if (m_s.substr(m_i, 2) == op) {
                t.kind = Token::Kind::Punct;
                t.text = std::string(op);
                m_i += 2;
                return t;
            }
        if (std::string_view("+-*/%&<>=(),!").find(c) != std::string_view::npos) {
            t.kind = Token::Kind::Punct;
            t.text = std::string(1, c);
            ++m_i;
            return t;
        }
        fail(m_i, "unexpected character '" + std::string(m_s.substr(m_i, 1)) + "'");
    }

  private:
    std::string_view m_s;
    size_t m_i = 0;
};

class Parser {
  public:
    explicit Parser(std::string_view s) : m_lex(s) { advance(); }

    Ast parse() {
        m_ast.root = orExpr();
        if (m_tok.kind != Token::Kind::End) fail(m_tok.pos, "unexpected '" + describe() + "'");
        return std::move(m_ast);
    }

  private:
    void advance() { m_tok = m_lex.next(); }
    bool isPunct(std::string_view p) const { return m_tok.kind == Token::Kind::Punct && m_tok.text == p; }
    bool isWord(std::string_view w) const {
        return m_tok.kind == Token::Kind::Name && IsKeyword(m_tok.text, w);
    }
    std::string describe() const { return m_tok.kind == Token::Kind::End ? "end" : m_tok.text; }

    // Everything that walks the tree recurses: its depth is bounded, however the operators chain.
    int add(Node n) {
        int depth = 1;
        for (int a : n.args)
            depth = std::max(depth, m_depths[size_t(a)] + 1);
        if (depth > kMaxExpressionTreeDepth) fail(n.pos, "the expression is nested too deeply");
        m_depths.push_back(depth);
        m_ast.nodes.push_back(std::move(n));
        return static_cast<int>(m_ast.nodes.size() - 1);
    }
    int binary(Op op, size_t pos, int a, int b) {
        Node n;
        n.kind = Node::Kind::Binary;
        n.op = op;
        n.pos = uint32_t(pos);
        n.args = {a, b};
        return add(std::move(n));
    }
    int unary(Op op, size_t pos, int a) {
        Node n;
        n.kind = Node::Kind::Unary;
        n.op = op;
        n.pos = uint32_t(pos);
        n.args = {a};
        return add(std::move(n));
    }

    struct Deeper {
        explicit Deeper(Parser& p, size_t pos) : m_p(p) {
            if (++m_p.m_depth > kMaxExpressionDepth) fail(pos, "the expression is nested too deeply");
        }
        ~Deeper() { --m_p.m_depth; }
        Parser& m_p;
    };

    int orExpr() {
        int a = andExpr();
        while (isWord("or")) {
            const size_t pos = m_tok.pos;
            advance();
            a = binary(Op::Or, pos, a, andExpr());
        }
        return a;
    }
    int andExpr() {
        int a = notExpr();
        while (isWord("and")) {
            const size_t pos = m_tok.pos;
            advance();
            a = binary(Op::And, pos, a, notExpr());
        }
        return a;
    }
    int notExpr() {
        if (isWord("not") || isPunct("!")) {
            const size_t pos = m_tok.pos;
            Deeper d(*this, pos);
            advance();
            return unary(Op::Not, pos, notExpr());
        }
        return comparison();
    }
    int comparison() {
        int a = concat();
        static constexpr std::pair<std::string_view, Op> kOps[] = {
            {"=", Op::Eq}, {"==", Op::Eq}, {"<>", Op::Ne}, {"!=", Op::Ne},
            {"<", Op::Lt}, {"<=", Op::Le}, {">", Op::Gt},  {">=", Op::Ge}};
        for (const auto& [text, op] : kOps)
            if (isPunct(text)) {
                const size_t pos = m_tok.pos;
                advance();
                const int b = concat();
                for (const auto& [t2, op2] : kOps)
                    if (isPunct(t2)) fail(m_tok.pos, "comparisons do not chain: use and");
                return binary(op, pos, a, b);
            }
        return a;
    }
    int concat() {
        int a = additive();
        while (isPunct("&")) {
            const size_t pos = m_tok.pos;
            advance();
            a = binary(Op::Concat, pos, a, additive());
        }
        return a;
    }
    int additive() {
        int a = multiplicative();
        while (isPunct("+") || isPunct("-")) {
            const Op op = m_tok.text == "+" ? Op::Add : Op::Sub;
            const size_t pos = m_tok.pos;
            advance();
            a = binary(op, pos, a, multiplicative());
        }
        return a;
    }
    int multiplicative() {
        int a = unaryExpr();
        while (isPunct("*") || isPunct("/") || isPunct("%")) {
            const Op op = m_tok.text == "*" ? Op::Mul : m_tok.text == "/" ? Op::Div : Op::Mod;
            const size_t pos = m_tok.pos;
            advance();
            a = binary(op, pos, a, unaryExpr());
        }
        return a;
    }
    int unaryExpr() {
        if (isPunct("-") || isPunct("+")) {
            const bool neg = m_tok.text == "-";
            const size_t pos = m_tok.pos;
            Deeper d(*this, pos);
            advance();
            const int a = unaryExpr();
            return neg ? unary(Op::Neg, pos, a) : a;
        }
        return primary();
    }
    int primary() {
        Node n;
        n.pos = uint32_t(m_tok.pos);
        switch (m_tok.kind) {
        case Token::Kind::End:
            fail(m_tok.pos, "expected a value");
        case Token::Kind::Number:
            n.kind = Node::Kind::Number;
            n.text = m_tok.text;
            advance();
            return add(std::move(n));
        case Token::Kind::Text:
            n.kind = Node::Kind::Text;
            n.text = m_tok.text;
            advance();
            return add(std::move(n));
        case Token::Kind::Parameter:
        case Token::Kind::System:
            n.kind = m_tok.kind == Token::Kind::Parameter ? Node::Kind::Parameter : Node::Kind::System;
            n.text = m_tok.text;
            advance();
            return add(std::move(n));
        case Token::Kind::Name:
            if (isWord("true") || isWord("false")) {
                n.kind = Node::Kind::Boolean;
                n.boolean = isWord("true");
                advance();
                return add(std::move(n));
            }
            if (isWord("and") || isWord("or") || isWord("not"))
                fail(m_tok.pos, "expected a value before '" + m_tok.text + "'");
            n.text = m_tok.text;
            advance();
            if (!isPunct("(")) {
                n.kind = Node::Kind::Name;
                return add(std::move(n));
            }
            n.kind = Node::Kind::Call;
            {
                Deeper d(*this, n.pos);
                advance();
                if (!isPunct(")")) {
                    for (;;) {
                        n.args.push_back(orExpr());
                        if (isPunct(")")) break;
                        if (!isPunct(","))
                            fail(m_tok.pos, "expected ',' or ')' instead of '" + describe() + "'");
                        advance();
                    }
                }
                advance();
            }
            return add(std::move(n));
        case Token::Kind::Punct:
            if (isPunct("(")) {
                Deeper d(*this, m_tok.pos);
                const size_t open = m_tok.pos;
                advance();
                const int inner = orExpr();
                if (!isPunct(")")) fail(m_tok.kind == Token::Kind::End ? open : m_tok.pos, "missing ')'");
                advance();
                return inner;
            }
            fail(m_tok.pos, "expected a value instead of '" + m_tok.text + "'");
        }
        fail(m_tok.pos, "expected a value");
    }

    Lexer m_lex;
    Token m_tok;
    Ast m_ast;
    std::vector<int> m_depths; // per node: the depth of its subtree
    int m_depth = 0;
};

} // namespace

bool IsKeyword(std::string_view word, std::string_view keyword) {
    if (word.size() != keyword.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
        char c = word[i];
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        if (c != keyword[i]) return false;
    }
    return true;
}

ParseResult ParseExpression(std::string_view text) {
    ParseResult r;
    try {
        r.ast = Parser(text).parse();
    } catch (const Failure& f) {
        r.error = f.error;
        r.ast = Ast{};
    }
    return r;
}

bool LooksLikeExpression(std::string_view body) {
    return body.find_first_of("+-*/%&<>=!(),\"'") != std::string_view::npos;
}

std::vector<TextPiece> SplitTemplateText(std::string_view text) {
    std::vector<TextPiece> out;
    std::string literal;
    auto flush = [&] {
        if (literal.empty()) return;
        TextPiece p;
        p.literal = std::move(literal);
        out.push_back(std::move(p));
        literal.clear();
    };
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if ((c == '{' || c == '}') && i + 1 < text.size() && text[i + 1] == c) {
            literal += c;
            i += 2;
            continue;
        }
        if (c != '{') {
            literal += c;
            ++i;
            continue;
        }
        // The reference ends at the first '}' outside quotes; with a quote left open, at the first '}'.
        size_t close = std::string_view::npos;
        char quote = 0;
        for (size_t j = i + 1; j < text.size(); ++j) {
            const char d = text[j];
            if (quote) {
                if (d == quote) quote = 0;
            } else if (d == '"' || d == '\'') {
                quote = d;
            } else if (d == '}') {
                close = j;
                break;
            }
        }
        if (close == std::string_view::npos) close = text.find('}', i + 1);
        if (close == std::string_view::npos) { // an unclosed brace is just text
            literal += text.substr(i);
            break;
        }
        flush();
        TextPiece p;
        p.reference = true;
        p.offset = i + 1;
        std::string_view body = text.substr(i + 1, close - i - 1);
        quote = 0;
        for (size_t j = 0; j < body.size(); ++j) {
            const char d = body[j];
            if (quote) {
                if (d == quote) quote = 0;
            } else if (d == '"' || d == '\'') {
                quote = d;
            } else if (d == '|') {
                p.format = body.substr(j + 1);
                p.hasFormat = true;
                body = body.substr(0, j);
                break;
            }
        }
        p.body = body;
        out.push_back(std::move(p));
        i = close + 1;
    }
    flush();
    return out;
}

} // namespace verolux::reports::format::expr
