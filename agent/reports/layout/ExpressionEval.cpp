#include "agent/reports/layout/ExpressionEval.h"

namespace verolux::reports {

using format::expr::Node;

namespace {

int FindDeclared(const std::vector<Declared>& list, std::string_view name) {
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].name == name) return static_cast<int>(i);
    return -1;
}

class Compiler {
  public:
    Compiler(const format::expr::Ast& ast, const Template& tmpl, CompiledExpr& out)
        : m_ast(ast), m_tmpl(tmpl), m_out(out) {}

    int node(int i) {
        const Node& n = m_ast.at(i);
        CompiledNode c;
        switch (n.kind) {
        case Node::Kind::Number:
            c.constant =
                format::expr::Value::ofNumber(format::Decimal::parse(n.text).value_or(format::Decimal()));
            break;
        case Node::Kind::Text:
            c.constant = format::expr::Value::ofText(n.text);
            break;
        case Node::Kind::Boolean:
            c.constant = format::expr::Value::ofBoolean(n.boolean);
            break;
        case Node::Kind::Name:
            if ((c.index = FindDeclared(m_tmpl.fields, n.text)) >= 0)
                c.kind = CompiledNode::Kind::Field;
            else if ((c.index = FindDeclared(m_tmpl.parameters, n.text)) >= 0)
                c.kind = CompiledNode::Kind::Parameter;
            else
                c.kind = CompiledNode::Kind::Unknown;
            break;
        case Node::Kind::Parameter:
            c.index = FindDeclared(m_tmpl.parameters, n.text);
            c.kind = c.index >= 0 ? CompiledNode::Kind::Parameter : CompiledNode::Kind::Unknown;
            break;
        case Node::Kind::System:
            c.kind = n.text == "page"       ? CompiledNode::Kind::PageNumber
                     : n.text == "row"      ? CompiledNode::Kind::RowNumber
                     : n.text == "grouprow" ? CompiledNode::Kind::GroupRowNumber
                     : n.text == "now"      ? CompiledNode::Kind::Now
                     : n.text == "title"    ? CompiledNode::Kind::Title
                                            : CompiledNode::Kind::Unknown;
            break;
        case Node::Kind::Unary:
        case Node::Kind::Binary:
            c.kind = n.kind == Node::Kind::Unary ? CompiledNode::Kind::Unary : CompiledNode::Kind::Binary;
            c.op = n.op;
            for (int a : n.args)
                c.args.push_back(node(a));
            break;
        case Node::Kind::Call:
            if (auto fn = format::ParseAggregateFunction(n.text)) {
                c.kind = CompiledNode::Kind::Aggregate;
                c.function = *fn;
                if (n.args.size() == 2) {
                    const std::string& s = m_ast.at(n.args[1]).text;
                    c.scope = s == "group"  ? AggregateScope::Group
                              : s == "page" ? AggregateScope::Page
                                            : AggregateScope::Report;
                }
                if (c.scope == AggregateScope::Page) m_out.usesPageScope = true;
                if (!n.args.empty()) c.args.push_back(node(n.args[0]));
                break;
            }
            c.kind =
                format::expr::IsKeyword(n.text, "if") ? CompiledNode::Kind::If : CompiledNode::Kind::Call;
            c.name = n.text;
            for (int a : n.args)
                c.args.push_back(node(a));
            break;
        }
        m_out.nodes.push_back(std::move(c));
        return static_cast<int>(m_out.nodes.size() - 1);
    }

  private:
    const format::expr::Ast& m_ast;
    const Template& m_tmpl;
    CompiledExpr& m_out;
};

} // namespace

CompiledExpr CompileAst(const format::expr::Ast& ast, const Template& tmpl, std::string source) {
    CompiledExpr out;
    out.source = std::move(source);
    out.root = Compiler(ast, tmpl, out).node(ast.root);
    return out;
}

} // namespace verolux::reports
