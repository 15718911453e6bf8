#include "agent/reports/design/StyleEdits.h"

#include <algorithm>

namespace verolux::reports::design {

namespace {

bool named(const Template& t, int index) {
    return index >= 0 && size_t(index) < t.styles.size() && !t.styles[size_t(index)].name.empty();
}

std::string nameProblem(const Template& t, const std::string& name, int except) {
    if (name.empty()) return "样式名称不能为空";
    const int found = t.findStyle(name);
    if (found >= 0 && found != except) return "样式“" + name + "”已经存在";
    return {};
}

} // namespace

int StyleUsers(const Template& tmpl, int style) {
    int n = 0;
    for (BandRef ref : AllBands(tmpl))
        for (const Item& it : FindBand(tmpl, ref)->items)
            n += it.style == style;
    return n;
}

EditResult AddStyle(DesignDocument& doc, const std::string& name, int base) {
    if (std::string why = nameProblem(doc.tmpl(), name, -1); !why.empty()) return EditResult::refused(why);
    EditBuilder b = doc.begin();
    auto& styles = b.styles();
    TextStyle st = styles[named(doc.tmpl(), base) ? size_t(base) : 0];
    st.name = name;
    styles.push_back(std::move(st));
    return {doc.commit(b, "添加样式"), {}};
}

EditResult RenameStyle(DesignDocument& doc, int index, const std::string& name) {
    if (!named(doc.tmpl(), index)) return {};
    if (index == 0) return EditResult::refused("默认样式不能改名");
    if (std::string why = nameProblem(doc.tmpl(), name, index); !why.empty()) return EditResult::refused(why);
    EditBuilder b = doc.begin();
    b.styles()[size_t(index)].name = name;
    return {doc.commit(b, "重命名样式"), {}};
}

bool UpdateStyle(DesignDocument& doc, int index, const std::function<void(TextStyle&)>& change) {
    if (!named(doc.tmpl(), index)) return false;
    EditBuilder b = doc.begin();
    TextStyle& st = b.styles()[size_t(index)];
    const std::string name = st.name;
    change(st);
    st.name = name;
    return doc.commit(b, "修改样式");
}

bool DeleteStyle(DesignDocument& doc, int index) {
    if (index <= 0 || !named(doc.tmpl(), index)) return false;
    EditBuilder b = doc.begin();
    b.allBandsAndStyles();
    b.styles().erase(b.styles().begin() + index);
    for (BandRef ref : AllBands(b.tmpl()))
        for (Item& it : FindBand(b.tmpl(), ref)->items) {
            if (it.style == index)
                it.style = 0;
            else if (it.style > index)
                --it.style;
        }
    return doc.commit(b, "删除样式");
}

bool SetItemsStyle(DesignDocument& doc, const std::vector<ItemRef>& items, int style) {
    if (!named(doc.tmpl(), style)) return false;
    EditBuilder b = doc.begin();
    for (const ItemRef& ref : items)
        if (FindItem(doc.tmpl(), ref)) b.band(ref.band).items[size_t(ref.index)].style = style;
    return doc.commit(b, "设置样式");
}

bool OverrideItemsStyle(DesignDocument& doc, const std::vector<ItemRef>& items, const std::string& name,
                        const std::function<void(TextStyle&)>& change) {
    EditBuilder b = doc.begin();
    for (const ItemRef& ref : items) {
        if (!FindItem(doc.tmpl(), ref)) continue;
        Item& it = b.band(ref.band).items[size_t(ref.index)];
        auto& styles = b.styles();
        const size_t from = it.style >= 0 && size_t(it.style) < styles.size() ? size_t(it.style) : 0;
        TextStyle st = styles[from];
        st.name.clear();
        const TextStyle unchanged = st;
        change(st);
        st.name.clear();
        if (st == unchanged) continue;
        // A fresh inline style per item: items never share one, so each keeps its own overrides.
        if (styles[from].name.empty() && StyleUsers(b.tmpl(), int(from)) == 1) {
            styles[from] = std::move(st);
        } else {
            styles.push_back(std::move(st));
            it.style = int(styles.size() - 1);
        }
    }
    return doc.commit(b, name);
}

} // namespace verolux::reports::design
