#include "agent/reports/design/BandRef.h"

namespace verolux::reports::design {

Band* FindBand(Template& tmpl, BandRef ref) {
    switch (ref.slot) {
    case BandSlot::ReportHeader:
        return &tmpl.reportHeader;
    case BandSlot::PageHeader:
        return &tmpl.pageHeader;
    case BandSlot::ColumnHeader:
        return &tmpl.columnHeader;
    case BandSlot::Detail:
        return &tmpl.detail;
    case BandSlot::ReportFooter:
        return &tmpl.reportFooter;
    case BandSlot::PageFooter:
        return &tmpl.pageFooter;
    case BandSlot::GroupHeader:
    case BandSlot::GroupFooter:
        if (ref.group < 0 || size_t(ref.group) >= tmpl.groups.size()) return nullptr;
        return ref.slot == BandSlot::GroupHeader ? &tmpl.groups[size_t(ref.group)].header
                                                 : &tmpl.groups[size_t(ref.group)].footer;
    }
    return nullptr;
}

const Band* FindBand(const Template& tmpl, BandRef ref) {
    return FindBand(const_cast<Template&>(tmpl), ref);
}

Item* FindItem(Template& tmpl, ItemRef ref) {
    Band* band = FindBand(tmpl, ref.band);
    if (!band || ref.index < 0 || size_t(ref.index) >= band->items.size()) return nullptr;
    return &band->items[size_t(ref.index)];
}

const Item* FindItem(const Template& tmpl, ItemRef ref) {
    return FindItem(const_cast<Template&>(tmpl), ref);
}

std::vector<BandRef> AllBands(const Template& tmpl) {
    std::vector<BandRef> out{{BandSlot::ReportHeader}, {BandSlot::PageHeader}, {BandSlot::ColumnHeader}};
    const int groups = static_cast<int>(tmpl.groups.size());
    for (int g = 0; g < groups; ++g)
        out.push_back({BandSlot::GroupHeader, g});
    out.push_back({BandSlot::Detail});
    for (int g = groups - 1; g >= 0; --g)
        out.push_back({BandSlot::GroupFooter, g});
    out.push_back({BandSlot::ReportFooter});
    out.push_back({BandSlot::PageFooter});
    return out;
}

std::vector<BandRef> PresentBands(const Template& tmpl) {
    std::vector<BandRef> out;
    for (BandRef ref : AllBands(tmpl))
        if (FindBand(tmpl, ref)->present) out.push_back(ref);
    return out;
}

std::string BandLabel(const Template& tmpl, BandRef ref) {
    auto groupName = [&] {
        return ref.group >= 0 && size_t(ref.group) < tmpl.groups.size() ? tmpl.groups[size_t(ref.group)].name
                                                                        : std::string();
    };
    switch (ref.slot) {
    case BandSlot::ReportHeader:
        return "报表头";
    case BandSlot::PageHeader:
        return "页眉";
    case BandSlot::ColumnHeader:
        return "列标题";
    case BandSlot::GroupHeader:
        return "分组头：" + groupName();
    case BandSlot::Detail:
        return "明细";
    case BandSlot::GroupFooter:
        return "分组尾：" + groupName();
    case BandSlot::ReportFooter:
        return "报表尾";
    case BandSlot::PageFooter:
        return "页脚";
    }
    return {};
}

std::string BandPath(BandRef ref) {
    switch (ref.slot) {
    case BandSlot::ReportHeader:
        return "reportHeader";
    case BandSlot::PageHeader:
        return "pageHeader";
    case BandSlot::ColumnHeader:
        return "columnHeader";
    case BandSlot::Detail:
        return "detail";
    case BandSlot::ReportFooter:
        return "reportFooter";
    case BandSlot::PageFooter:
        return "pageFooter";
    case BandSlot::GroupHeader:
        return "groups[" + std::to_string(ref.group) + "].header";
    case BandSlot::GroupFooter:
        return "groups[" + std::to_string(ref.group) + "].footer";
    }
    return {};
}

} // namespace verolux::reports::design
