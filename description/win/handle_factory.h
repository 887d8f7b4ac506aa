// Icons and fonts of a description from the platform.
#pragma once

#include <windows.h>

#include "description/loader.h"

namespace tvn {

class WindowsHandleFactory : public HandleFactory {
 public:
  // ExtractIconW(GetModuleHandleW(NULL), file, index), a bare file name
  // ("shell32.dll") first made a full path by IconFilePath
  // (base/win/system_search.h). "No icon" is 0; the value 1 that ExtractIconW
  // returns for a file that is not an executable, library or icon file is not
  // a handle and also gives 0, and so does index -1 (for which ExtractIconW
  // returns the file's icon count).
  IconHandle MakeIcon(TextView file, std::int32_t index) override;
  void DestroyIcon(IconHandle icon) override;
  // CreateFontW(height, 0, 0, 0, weight, italic, underline, strikeout,
  // DEFAULT_CHARSET, 0, 0, 0, 0, face).
  FontHandle MakeFont(const FontSpec& spec) override;
  void DeleteFont(FontHandle font) override;
};

inline HICON ToIcon(IconHandle icon) { return reinterpret_cast<HICON>(icon); }
inline HFONT ToFont(FontHandle font) { return reinterpret_cast<HFONT>(font); }

}  // namespace tvn
