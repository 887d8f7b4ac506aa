// Bridges the core's UTF-16 text (char16_t) and the platform's WCHAR.
#pragma once

#include <windows.h>

#include "base/text.h"

namespace tvn {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "WCHAR must be UTF-16");

inline const wchar_t* W(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
inline wchar_t* W(Text& text) { return reinterpret_cast<wchar_t*>(&text[0]); }
inline Text ToText(const wchar_t* text) { return text ? Text(reinterpret_cast<const char16_t*>(text)) : Text(); }
inline Text ToText(const wchar_t* text, std::size_t units) {
  return text ? Text(reinterpret_cast<const char16_t*>(text), units) : Text();
}

}  // namespace tvn
