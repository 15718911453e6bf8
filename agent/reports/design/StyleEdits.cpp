#include "agent/reports/design/StyleEdits.h"

#include "agent/reports/model/StyleKeys.h"

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

// The value a style would have for keys it does not set: its base's, after the change.
void giveBack(uint32_t keys, const Template& t, TextStyle& st) {
    if (!keys) return;
    // Without a base a style starts from "default"; "default" itself from the built-in values.
    const int base = st.base.empty() ? 0 : t.findStyle(st.base);
    const TextStyle from =
        base >= 0 && &t.styles[size_t(base)] != &st ? t.styles[size_t(base)] : BuiltInStyle();
    CopyStyleKeys(keys, from, st);
    st.own &= ~keys;
}

} // namespace

uint32_t DifferingKeys(const TextStyle& a, const TextStyle& b) {
    return DifferingStyleKeys(a, b);
}

int StyleUsers(const Template& tmpl, int style) {
    int n = 0;
    for (BandRef ref : AllBands(tmpl))
        for (const Item& it : FindBand(tmpl, ref)->items)
            n += it.style == style;
    return n;
}

int NamedStyleOf(const Template& tmpl, const Item& item) {
    if (named(tmpl, item.style)) return item.style;
    if (item.style < 0 || size_t(item.style) >= tmpl.styles.size()) return 0;
    const std::string& base = tmpl.styles[size_t(item.style)].base;
    const int found = base.empty() ? 0 : tmpl.findStyle(base);
    return found >= 0 ? found : 0;
}

EditResult AddStyle(DesignDocument& doc, const std::string& name, int base) {
    if (std::string why = nameProblem(doc.tmpl(), name, -1); !why.empty()) return EditResult::refused(why);
    EditBuilder b = doc.begin();
    auto& styles = b.styles();
    const size_t from = named(doc.tmpl(), base) ? size_t(base) : 0;
    TextStyle st = styles[from];
    st.name = name;
    st.base = from == 0 ? std::string() : styles[from].name;
    st.own = 0;
    st.keys = st.borderKeys = FileKeys{};
    styles.push_back(std::move(st));
    return {doc.commit(b, "添加样式"), {}};
}

EditResult RenameStyle(DesignDocument& doc, int index, const std::string& name) {
    if (!named(doc.tmpl(), index)) return {};
    if (index == 0) return EditResult::refused("默认样式不能改名");
    if (std::string why = nameProblem(doc.tmpl(), name, index); !why.empty()) return EditResult::refused(why);
    EditBuilder b = doc.begin();
    auto& styles = b.styles();
    const std::string old = styles[size_t(index)].name;
    for (TextStyle& st : styles)
        if (st.base == old) st.base = name;
    styles[size_t(index)].name = name;
    return {doc.commit(b, "重命名样式"), {}};
}

EditResult SetStyleBase(DesignDocument& doc, int index, const std::string& base) {
    if (!named(doc.tmpl(), index) || index == 0) return {};
    const std::string target = base == "default" ? std::string() : base;
    const auto& styles = doc.tmpl().styles;
    // Follow the new base's chain: it must not come back to this style.
    std::string at = target;
    for (size_t steps = 0; !at.empty() && steps <= styles.size(); ++steps) {
        const int i = doc.tmpl().findStyle(at);
        if (i < 0) return EditResult::refused("没有样式“" + at + "”");
        if (i == index) return EditResult::refused("样式的基础样式不能绕回到它自己");
        at = styles[size_t(i)].base;
    }
    EditBuilder b = doc.begin();
    b.styles()[size_t(index)].base = target;
    ResolveStyles(b.tmpl());
    return {doc.commit(b, "修改基础样式"), {}};
}

bool UpdateStyle(DesignDocument& doc, int index, const std::function<void(TextStyle&)>& change,
                 uint32_t clear) {
    if (!named(doc.tmpl(), index)) return false;
    EditBuilder b = doc.begin();
    auto& styles = b.styles();
    TextStyle& st = styles[size_t(index)];
    const TextStyle before = st;
    change(st);
    st.name = before.name;
    st.base = before.base;
    st.own |= DifferingKeys(before, st);
    giveBack(clear, b.tmpl(), st);
    ResolveStyles(b.tmpl()); // the styles and items building on it follow
    return doc.commit(b, "修改样式");
}

bool DeleteStyle(DesignDocument& doc, int index) {
    if (index <= 0 || !named(doc.tmpl(), index)) return false;
    EditBuilder b = doc.begin();
    b.allBandsAndStyles();
    auto& styles = b.styles();
    const TextStyle gone = styles[size_t(index)];
    for (TextStyle& st : styles) {
        if (st.base != gone.name || &st == &styles[size_t(index)]) continue;
        // It keeps its look: what it took from the deleted style becomes its own.
        st.own |= gone.own;
        st.base = gone.base;
    }
    styles.erase(styles.begin() + index);
    for (BandRef ref : AllBands(b.tmpl()))
        for (Item& it : FindBand(b.tmpl(), ref)->items) {
            if (it.style == index)
                it.style = 0;
            else if (it.style > index)
                --it.style;
        }
    ResolveStyles(b.tmpl());
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
                        const std::function<void(TextStyle&)>& change, uint32_t clear) {
    EditBuilder b = doc.begin();
    for (const ItemRef& ref : items) {
        if (!FindItem(doc.tmpl(), ref)) continue;
        Item& it = b.band(ref.band).items[size_t(ref.index)];
        auto& styles = b.styles();
        const size_t from = it.style >= 0 && size_t(it.style) < styles.size() ? size_t(it.style) : 0;
        TextStyle st = styles[from];
        if (!st.name.empty()) {
            // A new inline style building on the named one, setting nothing of its own yet.
            st.base = from == 0 ? std::string() : st.name;
            st.name.clear();
            st.own = 0;
            st.keys = st.borderKeys = FileKeys{};
        }
        const TextStyle before = st;
        change(st);
        st.own |= DifferingKeys(before, st);
        giveBack(clear, b.tmpl(), st);
        if (st == styles[from]) continue;
        // Items never share an inline style, so each keeps its own overrides.
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
