#pragma once

#include <string>
#include <string_view>

namespace verolux {

// The text rules of the main window's log pane, apart from the widget that shows it: each entry is
// CR LF + stamp + " " + message, and a pane holding more than kLimit characters is emptied before the
// next entry. Characters are UTF-16 units, as the pane counts them.
class LogPane {
  public:
    static constexpr std::size_t kLimit = 15000;

    struct Update {
        bool cleared = false;    // the pane was emptied before the entry
        std::u16string appended; // what was added at the end
    };

    Update AddLog(std::u16string_view message, std::u16string_view stamp);

    const std::u16string& text() const { return m_text; }

  private:
    std::u16string m_text;
};

} // namespace verolux
