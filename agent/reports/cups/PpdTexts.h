#pragma once

#include <map>
#include <string>
#include <string_view>

// What a printer's driver (PPD) and the scheduler's strings file call its choices, for the names people
// read: "纸盒 2" for the keyword tray-2. Pure text reading, no CUPS calls.
namespace verolux::cups {

// The `"key" = "text";` lines of a CUPS .strings file ("media-source.tray-2" = "Tray 2").
std::map<std::string, std::string> ReadStringsFile(std::string_view text);

struct PpdChoiceText {
    std::string text;    // in the PPD's own language
    std::string chinese; // its Chinese translation (zh_CN, else zh_TW, else zh), or the text of a Chinese PPD
};

// The choices of one main keyword of a PPD ("InputSlot", "PageSize"): choice name → its texts.
std::map<std::string, PpdChoiceText> ReadPpdChoices(std::string_view ppd, std::string_view keyword);

// The text to show for a choice: its Chinese one, else its own, else "".
inline std::string DisplayText(const PpdChoiceText& c) {
    return c.chinese.empty() ? c.text : c.chinese;
}

} // namespace verolux::cups
