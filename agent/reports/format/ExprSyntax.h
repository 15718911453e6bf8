#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The syntax of template expressions, without any template: `quantity*price`, `sum(amount, group)`,
// `if(amount>=10000, "大额", "")`, `name & " (" & city & ")"`. Grammar in docs/template-format.md.
namespace verolux::reports::format::expr {

enum class Op : uint8_t { Add, Sub, Mul, Div, Mod, Concat, Eq, Ne, Lt, Le, Gt, Ge, And, Or, Not, Neg };

struct Node {
    enum class Kind : uint8_t { Number, Text, Boolean, Name, Parameter, System, Unary, Binary, Call };
    Kind kind = Kind::Number;
    Op op = Op::Add;
    uint32_t pos = 0;      // byte offset of the node's first character in the expression
    std::string text;      // number digits, string value, name (without `$` / `#`), function name
    bool boolean = false;  // Boolean
    std::vector<int> args; // children: operands or call arguments (indexes into Ast::nodes)
};

struct Ast {
    std::vector<Node> nodes;
    int root = -1;
    const Node& at(int i) const { return nodes[size_t(i)]; }
};

struct SyntaxError {
    size_t pos = 0; // byte offset in the expression
    std::string message;
};

struct ParseResult {
    Ast ast;
    std::optional<SyntaxError> error;
    explicit operator bool() const { return !error; }
};

// Operators nest at most this deep; a deeper expression is refused rather than recursing without end.
inline constexpr int kMaxExpressionDepth = 64;
// The tree under any node is at most this deep (`a+b+c+...` chains count), so walking it cannot run
// out of stack.
inline constexpr int kMaxExpressionTreeDepth = 256;

ParseResult ParseExpression(std::string_view text);

// One piece of an item's text: literal text, or a reference `{...}` split at its first `|` outside quotes.
struct TextPiece {
    bool reference = false;
    std::string literal;     // literal pieces, braces unescaped
    std::string_view body;   // references: what stands before `|`
    std::string_view format; // references: what follows `|`
    bool hasFormat = false;
    size_t offset = 0; // references: byte offset of `body` in the item's text
};

// `{{` and `}}` are braces; a `}` inside a quoted string does not close a reference; an unclosed `{` is
// text. The views point into `text`.
std::vector<TextPiece> SplitTemplateText(std::string_view text);

// True when the text holds operator characters, brackets, commas or quotes: a reference that is meant as
// an expression. A reference without them that names nothing prints nothing, as it always did.
bool LooksLikeExpression(std::string_view body);

// ASCII case-insensitive keyword match.
bool IsKeyword(std::string_view word, std::string_view keyword);

} // namespace verolux::reports::format::expr
