#include "agent/reports/design/StarterTemplate.h"

namespace verolux::reports::design {

namespace {

TextStyle named(const Template& t, const char* name, uint32_t own) {
    TextStyle st = t.styles[0];
    st.name = name;
    st.base.clear();
    st.own = own;
    st.keys = st.borderKeys = FileKeys{};
    return st;
}

Item text(double x, double y, double w, double h, int style, const char* content) {
    Item it;
    it.kind = ItemKind::Text;
    it.x = x, it.y = y, it.w = w, it.h = h;
    it.style = style;
    it.text = content;
    return it;
}

} // namespace

Template StarterTemplate() {
    Template t;
    t.styles[0].fontSize = 9;
    t.styles[0].own = kStyleFont | kStyleSize;
    TextStyle title = named(t, "title", kStyleSize | kStyleBold | kStyleAlign);
    title.fontSize = 16;
    title.bold = true;
    title.hAlign = HAlign::Center;
    TextStyle head = named(t, "head", kStyleBold | kStyleAlign | kStyleBackground | kStyleBorderSides);
    head.bold = true;
    head.hAlign = HAlign::Center;
    head.background = 0xFFE6E6E6;
    head.borders.left = head.borders.top = head.borders.right = head.borders.bottom = true;
    TextStyle cell = named(t, "cell", kStyleBorderSides | kStylePadding);
    cell.borders.left = cell.borders.top = cell.borders.right = cell.borders.bottom = true;
    cell.padding = 1;
    TextStyle small = named(t, "pageNumber", kStyleSize | kStyleAlign);
    small.fontSize = 8;
    small.hAlign = HAlign::Right;
    t.styles.push_back(title);
    t.styles.push_back(head);
    t.styles.push_back(cell);
    t.styles.push_back(small);

    const double width = t.page.pageWidth() - t.page.marginLeft - t.page.marginRight;
    // The heading prints the parameter `title`: the page's request may give one; else its default, the
    // report's title, which the inspector's 标题 sets (both at once). {#title} would print the request's
    // template name instead.
    t.title = kStarterTitle;
    t.parameters.push_back(Declared{"title", "text", "", kStarterTitle, {}});
    t.pageHeader.present = true;
    t.pageHeader.height = 14;
    t.pageHeader.items.push_back(text(0, 2, width, 9, 1, "{$title}"));
    // Column titles and cells fill their bands' height (a field dropped in gets both): bordered rows
    // meet without a gap.
    t.columnHeader.present = true;
    t.columnHeader.height = kStarterHeadHeight;
    t.detail.present = true;
    t.detail.height = kStarterRowHeight;
    t.pageFooter.present = true;
    t.pageFooter.height = 8;
    t.pageFooter.items.push_back(text(0, 2, width, 5, 4, "第 {#page} 页 / 共 {#pages} 页"));
    return t;
}

} // namespace verolux::reports::design
