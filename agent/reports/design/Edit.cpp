#include "agent/reports/design/Edit.h"

#include "agent/reports/design/ModelEquality.h"

#include <type_traits>
#include <utility>

namespace verolux::reports::design {

namespace {

template <class T, class Locate> struct PartOf : Edit::Part {
    PartOf(Locate l, T v) : locate(std::move(l)), value(std::move(v)) {}
    void swap(Template& tmpl) override { std::swap(locate(tmpl), value); }
    bool changed(const Template& tmpl) const override {
        return !Same(locate(const_cast<Template&>(tmpl)), value);
    }
    Locate locate;
    T value;
};

enum Key { KBand, KStyles, KParameters, KFields, KGroups, KPage, KTitle, KPrinter };

} // namespace

Edit::Edit(std::string name, std::vector<std::unique_ptr<Part>> parts)
    : m_name(std::move(name)), m_parts(std::move(parts)) {}

void Edit::apply(Template& tmpl) {
    for (auto& p : m_parts)
        p->swap(tmpl);
}

void Edit::revert(Template& tmpl) {
    for (auto p = m_parts.rbegin(); p != m_parts.rend(); ++p)
        (*p)->swap(tmpl);
}

template <class T, class Locate> T& EditBuilder::record(int key, Locate locate) {
    const BandRef none{BandSlot::ReportHeader, -2};
    BandRef band = none;
    if constexpr (std::is_same_v<T, Band>) band = locate.ref;
    for (const auto& k : m_keys)
        if (k.first == key && k.second == band) return locate.get(m_t);
    m_keys.emplace_back(key, band);
    T& live = locate.get(m_t);
    m_parts.push_back(std::make_unique<PartOf<T, Locate>>(locate, live));
    return live;
}

namespace {
// Finds one part of a template; copied into the step that recorded it.
struct BandAt {
    BandRef ref;
    Band& get(Template& t) const { return *FindBand(t, ref); }
    Band& operator()(Template& t) const { return get(t); }
};
template <class T, T Template::*member> struct Member {
    T& get(Template& t) const { return t.*member; }
    T& operator()(Template& t) const { return get(t); }
};
} // namespace

Band& EditBuilder::band(BandRef ref) {
    return record<Band>(KBand, BandAt{ref});
}
std::vector<TextStyle>& EditBuilder::styles() {
    return record<std::vector<TextStyle>>(KStyles, Member<std::vector<TextStyle>, &Template::styles>{});
}
std::vector<Declared>& EditBuilder::parameters() {
    return record<std::vector<Declared>>(KParameters, Member<std::vector<Declared>, &Template::parameters>{});
}
std::vector<Declared>& EditBuilder::fields() {
    return record<std::vector<Declared>>(KFields, Member<std::vector<Declared>, &Template::fields>{});
}
std::vector<Group>& EditBuilder::groups() {
    return record<std::vector<Group>>(KGroups, Member<std::vector<Group>, &Template::groups>{});
}
PageSetup& EditBuilder::page() {
    return record<PageSetup>(KPage, Member<PageSetup, &Template::page>{});
}
std::string& EditBuilder::title() {
    return record<std::string>(KTitle, Member<std::string, &Template::title>{});
}
std::string& EditBuilder::printer() {
    return record<std::string>(KPrinter, Member<std::string, &Template::printer>{});
}

void EditBuilder::allBandsAndStyles() {
    styles();
    // The group list holds the group bands; the report's own bands one by one.
    groups();
    for (BandRef ref : AllBands(m_t))
        if (ref.slot != BandSlot::GroupHeader && ref.slot != BandSlot::GroupFooter) band(ref);
}

std::optional<Edit> EditBuilder::finish(std::string name) {
    bool changed = false;
    for (const auto& p : m_parts)
        changed = changed || p->changed(m_t);
    std::vector<std::unique_ptr<Edit::Part>> parts = std::move(m_parts);
    m_parts.clear();
    m_keys.clear();
    if (!changed) return std::nullopt;
    return Edit(std::move(name), std::move(parts));
}

} // namespace verolux::reports::design
