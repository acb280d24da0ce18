// UTF-8 to the UTF-16 of Windows' W functions and back, for the Windows
// build's system layer and window alike (Windows only).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace os {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);
inline std::string Utf8(const wchar_t* text, std::size_t length) { return Utf8(std::wstring_view(text, length)); }

}  // namespace os
