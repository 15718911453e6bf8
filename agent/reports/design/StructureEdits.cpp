#include "agent/reports/design/StructureEdits.h"

#include "agent/reports/design/Geometry.h"

#include <algorithm>
#include <cmath>

namespace verolux::reports::design {

namespace {

bool validIndex(const auto& list, int index) {
    return index >= 0 && size_t(index) < list.size();
}

// The band's items stay where they are; a group's bands move with it, so the selection no longer
// names them.
std::vector<ItemRef> outsideGroups(const std::vector<ItemRef>& sel) {
    std::vector<ItemRef> out;
    for (const ItemRef& r : sel)
        if (r.band.slot != BandSlot::GroupHeader && r.band.slot != BandSlot::GroupFooter) out.push_back(r);
    return out;
}

std::string nameProblem(const std::vector<Declared>& list, const std::string& name, int except) {
    if (name.empty()) return "名称不能为空";
    for (size_t i = 0; i < list.size(); ++i)
        if (int(i) != except && list[i].name == name) return "名称“" + name + "”已经存在";
    return {};
}

const char* const kTypes[] = {"text", "integer", "decimal", "currency", "boolean", "datetime"};

bool knownType(const std::string& type) {
    return std::find(std::begin(kTypes), std::end(kTypes), type) != std::end(kTypes);
}

std::string pageProblem(const PageSetup& p, const Template& t) {
    if (p.width < 10 || p.height < 10 || p.width > 5000 || p.height > 5000)
        return "纸张大小应在 10 到 5000 毫米之间";
    const double room = p.pageWidth() - p.marginLeft - p.marginRight;
    const double usable = p.pageHeight() - p.marginTop - p.marginBottom;
    if (std::min({p.marginLeft, p.marginTop, p.marginRight, p.marginBottom}) < 0) return "页边距不能为负";
    if (room < 1 || usable < 1) return "页边距太大，页面上没有空间";
    const double fixed = (t.pageHeader.present ? t.pageHeader.height : 0) +
                         (t.pageFooter.present ? t.pageFooter.height : 0) +
                         (t.columnHeader.present ? t.columnHeader.height : 0);
    if (fixed >= usable) return "页眉、列标题和页脚占满了页面，明细行没有空间";
    const Columns& c = t.detail.columns;
    if (c.any()) {
        const double w = ColumnWidth(c, p);
        if (w <= 0 || c.count * w + (c.count - 1) * c.spacing > room + 0.001) return "明细分栏放不下";
    }
    return {};
}

} // namespace

bool SetBandHeight(DesignDocument& doc, BandRef band, double height) {
    if (!FindBand(doc.tmpl(), band)) return false;
    EditBuilder b = doc.begin();
    b.band(band).height = RoundMm(std::clamp(height, 0.0, 5000.0));
    return doc.commit(b, "带区高度");
}

bool UpdateBand(DesignDocument& doc, BandRef band, const std::string& name,
                const std::function<void(Band&)>& change) {
    if (!FindBand(doc.tmpl(), band)) return false;
    EditBuilder b = doc.begin();
    change(b.band(band));
    return doc.commit(b, name);
}

bool SetBandPresent(DesignDocument& doc, BandRef band, bool present) {
    const Band* now = FindBand(doc.tmpl(), band);
    if (!now || now->present == present) return false;
    EditBuilder b = doc.begin();
    Band& live = b.band(band);
    live.present = present;
    if (present && live.height <= 0) live.height = 10;
    if (!present) live.items.clear();
    std::vector<ItemRef> sel;
    for (const ItemRef& r : doc.selection())
        if (r.band != band) sel.push_back(r);
    return doc.commit(b, present ? "添加带区" : "删除带区", sel);
}

EditResult SetColumns(DesignDocument& doc, const Columns& columns) {
    if (columns.count < 1 || columns.count > 100 || columns.width < 0 || columns.spacing < 0)
        return EditResult::refused("栏数应在 1 到 100 之间，宽度和间距不能为负");
    Template probe;
    probe.page = doc.tmpl().page;
    probe.detail.columns = columns;
    if (std::string why = pageProblem(doc.tmpl().page, probe); !why.empty()) return EditResult::refused(why);
    EditBuilder b = doc.begin();
    Columns& c = b.band(BandRef{BandSlot::Detail}).columns;
    c = columns;
    c.width = RoundMm(c.width);
    c.spacing = RoundMm(c.spacing);
    return {doc.commit(b, "明细分栏"), {}};
}

EditResult SetPage(DesignDocument& doc, const PageSetup& page) {
    PageSetup p = page;
    if (p.paper != "Custom" && !PaperSize(p.paper, p.width, p.height))
        return EditResult::refused("未知的纸张");
    for (double* v : {&p.width, &p.height, &p.marginLeft, &p.marginTop, &p.marginRight, &p.marginBottom})
        *v = RoundMm(*v);
    if (std::string why = pageProblem(p, doc.tmpl()); !why.empty()) return EditResult::refused(why);
    EditBuilder b = doc.begin();
    b.page() = p;
    return {doc.commit(b, "页面设置"), {}};
}

bool SetTitle(DesignDocument& doc, const std::string& title) {
    EditBuilder b = doc.begin();
    // A heading printing {$title} shows the title unless the request gives one: that default follows.
    const std::string old = doc.tmpl().title;
    for (size_t i = 0; i < doc.tmpl().parameters.size(); ++i)
        if (doc.tmpl().parameters[i].name == "title" && doc.tmpl().parameters[i].defaultValue == old)
            b.parameters()[i].defaultValue = title;
    b.title() = title;
    return doc.commit(b, "报表标题");
}

bool SetPrinter(DesignDocument& doc, const std::string& printer) {
    EditBuilder b = doc.begin();
    b.printer() = printer;
    return doc.commit(b, "打印机");
}

std::vector<Declared>& DeclaredList(Template& tmpl, DeclaredKind kind) {
    return kind == DeclaredKind::Field ? tmpl.fields : tmpl.parameters;
}

const std::vector<Declared>& DeclaredList(const Template& tmpl, DeclaredKind kind) {
    return kind == DeclaredKind::Field ? tmpl.fields : tmpl.parameters;
}

namespace {
std::vector<Declared>& recordList(EditBuilder& b, DeclaredKind kind) {
    return kind == DeclaredKind::Field ? b.fields() : b.parameters();
}
} // namespace

EditResult AddDeclared(DesignDocument& doc, DeclaredKind kind, const Declared& declared) {
    if (std::string why = nameProblem(DeclaredList(doc.tmpl(), kind), declared.name, -1); !why.empty())
        return EditResult::refused(why);
    if (!knownType(declared.type)) return EditResult::refused("未知的类型“" + declared.type + "”");
    EditBuilder b = doc.begin();
    Declared d = declared;
    if (kind == DeclaredKind::Field) d.defaultValue.clear();
    recordList(b, kind).push_back(d);
    return {doc.commit(b, kind == DeclaredKind::Field ? "添加字段" : "添加参数"), {}};
}

EditResult UpdateDeclared(DesignDocument& doc, DeclaredKind kind, int index, const Declared& declared) {
    if (!validIndex(DeclaredList(doc.tmpl(), kind), index)) return {};
    if (!knownType(declared.type)) return EditResult::refused("未知的类型“" + declared.type + "”");
    EditBuilder b = doc.begin();
    Declared& d = recordList(b, kind)[size_t(index)];
    d.type = declared.type;
    d.format = declared.format;
    if (kind == DeclaredKind::Parameter) d.defaultValue = declared.defaultValue;
    return {doc.commit(b, kind == DeclaredKind::Field ? "修改字段" : "修改参数"), {}};
}

EditResult RenameDeclared(DesignDocument& doc, DeclaredKind kind, int index, const std::string& name,
                          bool rewrite) {
    const auto& list = DeclaredList(doc.tmpl(), kind);
    if (!validIndex(list, index)) return {};
    if (list[size_t(index)].name == name) return {};
    if (std::string why = nameProblem(list, name, index); !why.empty()) return EditResult::refused(why);
    const std::string from = list[size_t(index)].name;
    EditBuilder b = doc.begin();
    if (rewrite) {
        // References are read against the declarations as they are before the rename (changed last).
        const Template& before = b.tmpl();
        b.allBandsAndStyles();
        for (BandRef ref : AllBands(b.tmpl())) {
            Band* band = FindBand(b.tmpl(), ref);
            for (Item& it : band->items)
                if (it.kind == ItemKind::Text || it.kind == ItemKind::Barcode)
                    it.text = RenameInText(it.text, kind, from, name, before);
        }
        if (kind == DeclaredKind::Field)
            for (Group& g : b.groups())
                std::replace(g.fields.begin(), g.fields.end(), from, name);
    }
    recordList(b, kind)[size_t(index)].name = name;
    return {doc.commit(b, kind == DeclaredKind::Field ? "重命名字段" : "重命名参数"), {}};
}

bool DeleteDeclared(DesignDocument& doc, DeclaredKind kind, int index) {
    if (!validIndex(DeclaredList(doc.tmpl(), kind), index)) return false;
    EditBuilder b = doc.begin();
    auto& list = recordList(b, kind);
    list.erase(list.begin() + index);
    return doc.commit(b, kind == DeclaredKind::Field ? "删除字段" : "删除参数");
}

bool MoveDeclared(DesignDocument& doc, DeclaredKind kind, int from, int to) {
    const auto& now = DeclaredList(doc.tmpl(), kind);
    if (!validIndex(now, from) || !validIndex(now, to) || from == to) return false;
    EditBuilder b = doc.begin();
    auto& list = recordList(b, kind);
    Declared d = std::move(list[size_t(from)]);
    list.erase(list.begin() + from);
    list.insert(list.begin() + to, std::move(d));
    return doc.commit(b, kind == DeclaredKind::Field ? "移动字段" : "移动参数");
}

EditResult AddGroup(DesignDocument& doc, int index, const std::string& name, const std::string& field) {
    if (field.empty()) return EditResult::refused("分组需要至少一个字段");
    for (const Group& g : doc.tmpl().groups)
        if (!name.empty() && g.name == name) return EditResult::refused("分组“" + name + "”已经存在");
    Group g;
    g.name = name.empty() ? field : name;
    g.fields = {field};
    g.header.present = g.footer.present = true;
    g.header.height = g.footer.height = 8;
    EditBuilder b = doc.begin();
    auto& groups = b.groups();
    index = std::clamp(index, 0, int(groups.size()));
    groups.insert(groups.begin() + index, std::move(g));
    return {doc.commit(b, "添加分组", outsideGroups(doc.selection())), {}};
}

bool RemoveGroup(DesignDocument& doc, int index) {
    if (!validIndex(doc.tmpl().groups, index)) return false;
    EditBuilder b = doc.begin();
    b.groups().erase(b.groups().begin() + index);
    return doc.commit(b, "删除分组", outsideGroups(doc.selection()));
}

bool MoveGroup(DesignDocument& doc, int from, int to) {
    const auto& groups = doc.tmpl().groups;
    if (!validIndex(groups, from) || !validIndex(groups, to) || from == to) return false;
    EditBuilder b = doc.begin();
    auto& live = b.groups();
    Group g = std::move(live[size_t(from)]);
    live.erase(live.begin() + from);
    live.insert(live.begin() + to, std::move(g));
    return doc.commit(b, "移动分组", outsideGroups(doc.selection()));
}

EditResult UpdateGroup(DesignDocument& doc, int index, const std::function<void(Group&)>& change) {
    if (!validIndex(doc.tmpl().groups, index)) return {};
    Group g = doc.tmpl().groups[size_t(index)];
    change(g);
    std::erase(g.fields, std::string());
    if (g.fields.empty()) return EditResult::refused("分组需要至少一个字段");
    if (g.name.empty()) g.name = g.fields.front();
    if (g.header.present && g.header.height <= 0) g.header.height = 8;
    if (g.footer.present && g.footer.height <= 0) g.footer.height = 8;
    if (!g.header.present) g.header.items.clear();
    if (!g.footer.present) g.footer.items.clear();
    EditBuilder b = doc.begin();
    b.groups()[size_t(index)] = std::move(g);
    std::vector<ItemRef> sel;
    for (const ItemRef& r : doc.selection())
        if (FindBand(b.tmpl(), r.band) && FindBand(b.tmpl(), r.band)->present && FindItem(b.tmpl(), r))
            sel.push_back(r);
    return {doc.commit(b, "修改分组", sel), {}};
}

} // namespace verolux::reports::design
