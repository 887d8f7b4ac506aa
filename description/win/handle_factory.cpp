#include "description/win/handle_factory.h"

#include <shellapi.h>

#include "base/win/system_search.h"
#include "base/win/wide.h"

namespace tvn {

IconHandle WindowsHandleFactory::MakeIcon(TextView file, std::int32_t index) {
  // Index -1 asks ExtractIconW for the number of icons in the file, which is
  // not a handle: no icon.
  if (index == -1) return 0;
  // ExtractIconW looks for a bare file name in the executable's folder first.
  Text name = IconFilePath(file);
  HICON icon = ExtractIconW(GetModuleHandleW(nullptr), W(name), static_cast<UINT>(index));
  if (icon == reinterpret_cast<HICON>(1)) return 0;  // not an icon file
  return reinterpret_cast<IconHandle>(icon);
}

void WindowsHandleFactory::DestroyIcon(IconHandle icon) {
  if (icon != 0) ::DestroyIcon(ToIcon(icon));
}

FontHandle WindowsHandleFactory::MakeFont(const FontSpec& spec) {
  // A face name longer than LF_FACESIZE - 1 would be cut by the platform anyway.
  Text face = Truncated(spec.face, LF_FACESIZE);
  HFONT font = CreateFontW(spec.height, 0, 0, 0, spec.weight, spec.italic ? 1 : 0, spec.underline ? 1 : 0,
                           spec.strikeOut ? 1 : 0, DEFAULT_CHARSET, 0, 0, 0, 0, W(face));
  return reinterpret_cast<FontHandle>(font);
}

void WindowsHandleFactory::DeleteFont(FontHandle font) {
  if (font != 0) DeleteObject(ToFont(font));
}

}  // namespace tvn
