#pragma once

#include <string>
#include <string_view>

// UTF-8 and the UTF-16 of Windows' wide calls: the agent's texts are UTF-8, the system's are UTF-16.
namespace verolux {

// Invalid UTF-8 becomes U+FFFD; likewise unpaired surrogates the other way.
std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

} // namespace verolux
