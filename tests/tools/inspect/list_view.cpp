#include "tests/tools/inspect/list_view.h"

#include <cwchar>
#include <vector>

#include "tests/tools/inspect/controls.h"
#include "tests/tools/inspect/messages.h"

namespace tvn_inspect {

using tvn_tools::JsonWriter;

bool RemoteItemRect(RemoteBuffer& remote, HWND list, int index, int code, RECT* rect) {
  RECT request = {};
  request.left = code;
  LRESULT ok = 0;
  if (!remote.Write(0, &request, sizeof request)) return false;
  if (!Send(list, LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(remote.At(0)), &ok) || !ok)
    return false;
  return remote.Read(0, rect, sizeof *rect);
}

bool RemoteHitTest(RemoteBuffer& remote, HWND list, POINT point, int* index) {
  LVHITTESTINFO info = {};
  info.pt = point;
  LRESULT hit = -1;
  if (!remote.Write(0, &info, sizeof info)) return false;
  if (!Send(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(remote.At(0)), &hit)) return false;
  *index = static_cast<int>(hit);
  return true;
}

bool RemoteGetItem(RemoteBuffer& remote, HWND list, int index, ListItem* item) {
  LVITEMW request = {};
  request.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_STATE;
  request.iItem = index;
  request.stateMask = LVIS_SELECTED;
  request.pszText = static_cast<LPWSTR>(remote.At(kRemoteTextOffset));
  request.cchTextMax = kItemTextUnits;
  wchar_t empty = 0;
  LRESULT ok = 0;
  if (!remote.Write(0, &request, sizeof request) || !remote.Write(kRemoteTextOffset, &empty, sizeof empty))
    return false;
  if (!Send(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.At(0)), &ok) || !ok) return false;
  LVITEMW answer = {};
  if (!remote.Read(0, &answer, sizeof answer)) return false;
  std::vector<wchar_t> text(kItemTextUnits, L'\0');
  // The control may point pszText at its own storage instead of filling ours.
  bool read = answer.pszText == request.pszText
                  ? remote.Read(kRemoteTextOffset, text.data(), text.size() * sizeof(wchar_t))
                  : answer.pszText != nullptr && answer.pszText != LPSTR_TEXTCALLBACKW &&
                        remote.ReadAt(answer.pszText, text.data(), text.size() * sizeof(wchar_t));
  if (read) {
    text.back() = L'\0';
    item->text.assign(text.data(), wcsnlen(text.data(), text.size()));
  }
  item->image = answer.iImage;
  item->param = answer.lParam;
  item->state = answer.state;
  item->hasRect = RemoteItemRect(remote, list, index, LVIR_BOUNDS, &item->rect);
  return true;
}

void WriteListView(JsonWriter& json, HWND list) {
  LRESULT count = 0, selected = -1, images = 0;
  if (!Send(list, LVM_GETITEMCOUNT, 0, 0, &count)) count = 0;
  Send(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED, &selected);
  Send(list, LVM_GETIMAGELIST, LVSIL_NORMAL, 0, &images);
  json.Key("count").Int(count).Key("selected").Int(static_cast<int>(selected));
  json.Key("has_image_list").Bool(images != 0).Key("items").BeginArray();
  RemoteBuffer remote;
  bool open = count > 0 && remote.Open(list, kRemoteSize);
  int limit = count > kMaxListItems ? kMaxListItems : static_cast<int>(count);
  for (int i = 0; open && i < limit; ++i) {
    ListItem item;
    if (!RemoteGetItem(remote, list, i, &item)) continue;
    json.BeginObject().Key("index").Int(i).Key("text").String(item.text).Key("image").Int(item.image);
    json.Key("param").Int(static_cast<long long>(item.param));
    json.Key("selected").Bool((item.state & LVIS_SELECTED) != 0).Key("rect");
    if (item.hasRect) {
      WriteRect(json, item.rect);
    } else {
      json.Null();
    }
    json.EndObject();
  }
  json.EndArray();
  if (count > 0 && !open) json.Key("items_error").UInt(GetLastError());
}

}  // namespace tvn_inspect
