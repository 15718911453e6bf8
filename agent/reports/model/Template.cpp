#include "agent/reports/model/Template.h"

#include <cctype>

namespace verolux::reports {

Template::Template() {
    TextStyle base;
    base.name = "default";
    base.fontFamily = "WenQuanYi Micro Hei";
    styles.push_back(base);
}

int Template::findStyle(const std::string& name) const {
    for (size_t i = 0; i < styles.size(); ++i)
        if (!styles[i].name.empty() && styles[i].name == name) return static_cast<int>(i);
    return -1;
}

double ColumnWidth(const Columns& columns, const PageSetup& page) {
    if (columns.width > 0) return columns.width;
    const int n = columns.count > 1 ? columns.count : 1;
    const double room = page.pageWidth() - page.marginLeft - page.marginRight;
    return (room - (n - 1) * columns.spacing) / n;
}

bool PaperSize(const std::string& paper, double& width, double& height) {
    struct Paper {
        const char* name;
        double w, h;
    };
    static const Paper papers[] = {
        {"A3", 297, 420}, {"A4", 210, 297},         {"A5", 148, 210},
        {"B5", 176, 250}, {"Letter", 215.9, 279.4}, {"Legal", 215.9, 355.6},
    };
    for (const auto& p : papers) {
        if (paper == p.name) {
            width = p.w;
            height = p.h;
            return true;
        }
    }
    return false;
}

} // namespace verolux::reports
