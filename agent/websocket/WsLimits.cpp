#include "agent/websocket/WsLimits.h"

#include <charconv>

namespace mWSProtocol {

MessageLimits MessageLimitsFromSetting(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    std::size_t mb = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), mb);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || mb < 1 ||
        mb > kMaxMessageMBSetting)
        return {};
    return {mb * kMiB, 2 * mb * kMiB};
}

} // namespace mWSProtocol
