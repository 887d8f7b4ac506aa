// tvn_inspect.exe: reads the top-level windows of the desktop it runs on and
// their controls, and prints them as JSON (UTF-8) on stdout. The end-to-end
// tests run it under Wine next to TVN.exe; it also does a few simple actions.
//
// Usage: tvn_inspect.exe SELECTION [--hidden] [--wait MS] [ACTION]
//
// Selection (the filters combine; at least one is required):
//   --pid N          windows of process N
//   --title TEXT     title contains TEXT (case-sensitive; any UTF-16 text)
//   --class NAME     window class equals NAME (case-insensitive)
//   --all            every top-level window
//   --menus          open popup menus (class "#32768"), with their items
//   --hwnd 0xHEX     exactly this window (decimal also accepted), top-level
//                    or not, visible or not
//   --hidden         also list invisible windows (default: visible only)
//   --wait MS        poll every 50 ms, for at most MS ms, until at least one
//                    matching visible window exists
// Exit code: 0 something matched (or the action succeeded), 1 nothing
// matched (the output is then {"windows":[]}) or the action failed,
// 2 bad arguments (message on stderr, nothing on stdout).
//
// Output without an action, one line:
// {"windows":[{
//   "hwnd":"0x1a2b","pid":N,"tid":N,"exe":"TVN.exe","title":"...","class":"#32770",
//   "visible":B,"enabled":B,"rect":[l,t,r,b] (screen),"client":[w,h],
//   "client_origin":[x,y] (screen),"style":N,"exstyle":N,"foreground":B,
//   "active":B (the active window of its thread),"focus":"0x.."|null (focus
//   window of its thread),"owner":"0x.."|null,"parent":"0x.."|null,"id":N,
//   "icon_small":B|null,"icon_big":B|null (WM_GETICON ICON_SMALL/ICON_BIG
//   non-null; null: no answer), "class_icon_small":B,"class_icon":B
//   (GetClassLongPtr GCLP_HICONSM/GCLP_HICON; Wine 8 reads no other
//   process's class, so these are false there),
//   "controls":[{
//     "hwnd":"0x..","parent":"0x..","id":N,"class":"Button","text":"..."|null,
//     "enabled":B,"visible":B,"style":N,"exstyle":N,
//     "checked":0|1|2|null (BM_GETCHECK; buttons with a check-box or radio style),
//     "focus":B (is the focus window of the thread),"focus_within":B (it or a
//     child of it has the focus),"rect":[l,t,r,b] (parent's client coordinates),
//     "screen_rect":[l,t,r,b],"has_font":B|null (WM_GETFONT non-null; null: no answer),
//     "font":{"face":"...","height":N,"weight":N,"italic":B,"charset":N}|null
//       (null when the font handle is not readable, as for another process's fonts),
//     "icon":B|null (STM_GETICON non-null; SS_ICON statics only),
//     "password":B (edits only),
//     ComboBox and ListBox: "items":["..."],"selected":N (-1 none),
//     SysListView32: "count":N,"selected":N,"has_image_list":B,
//       "items":[{"index":N,"text":"...","image":N,"param":N,"selected":B,
//                 "focused":B,"rect":[l,t,r,b] (LVIR_BOUNDS, list client coordinates)}]
//   }],
//   "#32768" popup menus only: "menu":{"hmenu":"0x..","readable":B,"error":N,
//     "items":[{"index":N,"id":N,"text":"...","separator":B,"submenu":B,
//               "checked":B,"disabled":B,"default":B,"highlighted":B,
//               "rect":[l,t,r,b] (screen)|null}]}
// }]}
// A list-view item is read through a buffer allocated in the window's process
// (VirtualAllocEx, ReadProcessMemory); texts longer than 1023 units are cut.
//
// Actions (on the first matching window; they print one JSON object only:
// {"action":"...","hwnd":"0x..","control":"0x..","ok":B[,"error":"..."]}):
//   --close              post WM_CLOSE to the window
//   --click ID           post BM_CLICK to control ID
//   --set-text ID TEXT   send WM_SETTEXT to control ID (ID 0: the window itself)
//   --set-check ID STATE send BM_SETCHECK with STATE (0, 1, 2) to control ID;
//                        reaches a disabled check box too, which a click does not
//   --focus ID           give control ID the focus (WM_NEXTDLGCTL to a dialog,
//                        else AttachThreadInput + SetFocus); ok once the
//                        thread's focus is on it (waits up to 1 s)
//   --key ID VK          post WM_KEYDOWN + WM_KEYUP with virtual key VK to
//                        control ID (ID 0: the window itself)
//   --lv-select ID INDEX select and focus list-view item INDEX (and only it)
//   --lv-dblclick ID INDEX, --lv-rclick ID INDEX
//                        make item INDEX visible and print the screen point
//                        to click it at: adds "x":N,"y":N (click it with
//                        xdotool mousemove X Y click --repeat 2 1 | click 3)
// ID is the control id (decimal, may be negative); VK and INDEX are decimal
// or 0x-hex numbers.
//
// tvn_inspect.exe --process-cwd PID prints the current directory of process
// PID, read from its process parameters: {"pid":N,"cwd":"..."} (exit 0), or
// {"pid":N,"cwd":null,"error":"..."} (exit 1).
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "base/win/unique_handle.h"
#include "tests/tools/json_out.h"

namespace {

using tvn::UniqueHandleKernel;
using tvn_tools::JsonWriter;

constexpr UINT kSendTimeoutMs = 2000;
constexpr UINT kPollMs = 50;
constexpr int kMaxListItems = 10000;
constexpr int kItemTextUnits = 1024;
constexpr UINT kMenuGetHmenu = 0x01E1;  // MN_GETHMENU

enum class Action { None, Close, Click, SetText, SetCheck, Focus, Key, LvSelect, LvDblClick, LvRClick };

struct Options {
  bool hasPid = false;
  DWORD pid = 0;
  bool hasTitle = false;
  std::wstring title;
  bool hasClass = false;
  std::wstring className;
  bool all = false;
  bool menus = false;
  bool hasHwnd = false;
  HWND hwnd = nullptr;
  bool hidden = false;
  DWORD waitMs = 0;
  Action action = Action::None;
  const char* actionName = "";
  int controlId = 0;
  std::wstring text;
  unsigned long long number = 0;  // VK or item index
};

// ---------------------------------------------------------------- arguments

// Decimal or 0x-hex, no sign, nothing after the digits, at most `max`.
bool ParseUnsigned(const wchar_t* text, unsigned long long max, unsigned long long* out) {
  int base = 10;
  if (text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
    base = 16;
    text += 2;
  }
  if (*text == 0) return false;
  unsigned long long value = 0;
  for (; *text; ++text) {
    unsigned digit;
    if (*text >= L'0' && *text <= L'9') {
      digit = static_cast<unsigned>(*text - L'0');
    } else if (base == 16 && *text >= L'a' && *text <= L'f') {
      digit = static_cast<unsigned>(*text - L'a' + 10);
    } else if (base == 16 && *text >= L'A' && *text <= L'F') {
      digit = static_cast<unsigned>(*text - L'A' + 10);
    } else {
      return false;
    }
    if (value > (max - digit) / static_cast<unsigned>(base)) return false;
    value = value * static_cast<unsigned>(base) + digit;
  }
  *out = value;
  return true;
}

bool ParseControlId(const wchar_t* text, int* out) {
  bool negative = text[0] == L'-';
  unsigned long long value = 0;
  if (!ParseUnsigned(negative ? text + 1 : text, negative ? 0x80000000ull : 0xFFFFFFFFull, &value)) return false;
  // Ids above 0x7FFFFFFF are the same 32-bit values as the negative ones.
  *out = negative ? static_cast<int>(-static_cast<long long>(value)) : static_cast<int>(static_cast<std::uint32_t>(value));
  return true;
}

void Usage(const wchar_t* message, const wchar_t* argument) {
  std::fwprintf(stderr, L"tvn_inspect: %ls%ls%ls\n", message, argument ? L": " : L"", argument ? argument : L"");
  std::fwprintf(stderr,
                L"usage: tvn_inspect.exe (--pid N | --title TEXT | --class NAME | --all | --menus | --hwnd 0xHEX)...\n"
                L"       [--hidden] [--wait MS] [--close | --click ID | --set-text ID TEXT | --set-check ID STATE |\n"
                L"        --focus ID |\n"
                L"        --key ID VK | --lv-select ID INDEX | --lv-dblclick ID INDEX | --lv-rclick ID INDEX]\n");
}

bool ParseArguments(int argc, wchar_t** argv, Options* o) {
  auto set_action = [o](Action action, const char* name) {
    if (o->action != Action::None) return false;
    o->action = action;
    o->actionName = name;
    return true;
  };
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    auto need = [&](int count) {
      if (i + count >= argc) {
        Usage(L"missing value after", argv[i]);
        return false;
      }
      return true;
    };
    unsigned long long value = 0;
    if (arg == L"--pid") {
      if (!need(1) || !ParseUnsigned(argv[i + 1], 0xFFFFFFFFull, &value)) return Usage(L"bad --pid", nullptr), false;
      o->hasPid = true;
      o->pid = static_cast<DWORD>(value);
      ++i;
    } else if (arg == L"--title") {
      if (!need(1)) return false;
      o->hasTitle = true;
      o->title = argv[++i];
    } else if (arg == L"--class") {
      if (!need(1)) return false;
      o->hasClass = true;
      o->className = argv[++i];
    } else if (arg == L"--all") {
      o->all = true;
    } else if (arg == L"--menus") {
      o->menus = true;
    } else if (arg == L"--hidden") {
      o->hidden = true;
    } else if (arg == L"--hwnd") {
      if (!need(1) || !ParseUnsigned(argv[i + 1], UINTPTR_MAX, &value) || value == 0)
        return Usage(L"bad --hwnd", nullptr), false;
      o->hasHwnd = true;
      o->hwnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(value));
      ++i;
    } else if (arg == L"--wait") {
      if (!need(1) || !ParseUnsigned(argv[i + 1], 0x7FFFFFFFull, &value)) return Usage(L"bad --wait", nullptr), false;
      o->waitMs = static_cast<DWORD>(value);
      ++i;
    } else if (arg == L"--close") {
      if (!set_action(Action::Close, "close")) return Usage(L"only one action at a time", nullptr), false;
    } else if (arg == L"--click" || arg == L"--focus") {
      bool click = arg == L"--click";
      if (!set_action(click ? Action::Click : Action::Focus, click ? "click" : "focus"))
        return Usage(L"only one action at a time", nullptr), false;
      if (!need(1) || !ParseControlId(argv[i + 1], &o->controlId)) return Usage(L"bad control id", nullptr), false;
      ++i;
    } else if (arg == L"--set-text") {
      if (!set_action(Action::SetText, "set-text")) return Usage(L"only one action at a time", nullptr), false;
      if (!need(2) || !ParseControlId(argv[i + 1], &o->controlId)) return Usage(L"bad control id", nullptr), false;
      o->text = argv[i + 2];
      i += 2;
    } else if (arg == L"--set-check") {
      if (!set_action(Action::SetCheck, "set-check")) return Usage(L"only one action at a time", nullptr), false;
      if (!need(2) || !ParseControlId(argv[i + 1], &o->controlId)) return Usage(L"bad control id", nullptr), false;
      if (!ParseUnsigned(argv[i + 2], 2, &o->number)) return Usage(L"bad check state", argv[i + 2]), false;
      i += 2;
    } else if (arg == L"--key" || arg == L"--lv-select" || arg == L"--lv-dblclick" || arg == L"--lv-rclick") {
      bool ok = arg == L"--key"           ? set_action(Action::Key, "key")
                : arg == L"--lv-select"   ? set_action(Action::LvSelect, "lv-select")
                : arg == L"--lv-dblclick" ? set_action(Action::LvDblClick, "lv-dblclick")
                                          : set_action(Action::LvRClick, "lv-rclick");
      if (!ok) return Usage(L"only one action at a time", nullptr), false;
      if (!need(2) || !ParseControlId(argv[i + 1], &o->controlId)) return Usage(L"bad control id", nullptr), false;
      unsigned long long max = o->action == Action::Key ? 0xFFull : 0x7FFFFFFFull;
      if (!ParseUnsigned(argv[i + 2], max, &o->number)) return Usage(L"bad number", argv[i + 2]), false;
      i += 2;
    } else {
      Usage(L"unknown argument", argv[i]);
      return false;
    }
  }
  if (!o->hasPid && !o->hasTitle && !o->hasClass && !o->all && !o->menus && !o->hasHwnd) {
    Usage(L"no selection given", nullptr);
    return false;
  }
  return true;
}

// ---------------------------------------------------------------- helpers

bool Send(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &answer)) return false;
  if (result) *result = static_cast<LRESULT>(answer);
  return true;
}

// Wine 8 answers a synchronous WM_GETFONT or WM_GETICON from another process
// with 0 and no error, without asking the window; SendMessageCallbackW does
// reach it. The callback carries a sequence number, so a late answer to a
// query that timed out is ignored.
ULONG_PTR g_querySequence = 0;
bool g_queryDone = false;
LRESULT g_queryResult = 0;

void CALLBACK QueryAnswered(HWND, UINT, ULONG_PTR sequence, LRESULT result) {
  if (sequence != g_querySequence) return;
  g_queryDone = true;
  g_queryResult = result;
}

bool Query(HWND window, UINT message, WPARAM wparam, LRESULT* result) {
  g_queryDone = false;
  if (!SendMessageCallbackW(window, message, wparam, 0, QueryAnswered, ++g_querySequence)) return false;
  const ULONGLONG deadline = GetTickCount64() + kSendTimeoutMs;
  MSG msg;
  while (!g_queryDone && GetTickCount64() < deadline) {
    // The callback runs inside PeekMessage; this program has no windows.
    PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
    if (!g_queryDone) MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  if (!g_queryDone) return false;
  *result = g_queryResult;
  return true;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  int length = GetClassNameW(window, name, 256);
  return std::wstring(name, length > 0 ? static_cast<std::size_t>(length) : 0);
}

bool ClassIs(HWND window, const wchar_t* name) { return lstrcmpiW(ClassOf(window).c_str(), name) == 0; }

// WM_GETTEXT through SendMessageTimeout; false when the window does not answer.
bool ReadText(HWND window, std::wstring* text) {
  LRESULT length = 0;
  if (!Send(window, WM_GETTEXTLENGTH, 0, 0, &length)) return false;
  if (length < 0) length = 0;
  if (length > (1 << 20)) length = 1 << 20;
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
  LRESULT copied = 0;
  if (!Send(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), &copied)) return false;
  if (copied < 0 || static_cast<std::size_t>(copied) >= buffer.size()) copied = static_cast<LRESULT>(wcsnlen(buffer.data(), buffer.size() - 1));
  text->assign(buffer.data(), static_cast<std::size_t>(copied));
  return true;
}

void WriteRect(JsonWriter& json, const RECT& r) { json.IntArray({r.left, r.top, r.right, r.bottom}); }

std::wstring ExeName(DWORD pid) {
  UniqueHandleKernel process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  if (!process) return std::wstring();
  wchar_t path[MAX_PATH * 2] = {};
  DWORD size = MAX_PATH * 2;
  if (!QueryFullProcessImageNameW(process.get(), 0, path, &size)) return std::wstring();
  std::wstring full(path, size);
  std::size_t slash = full.find_last_of(L"\\/");
  return slash == std::wstring::npos ? full : full.substr(slash + 1);
}

// A block of memory in another process, for the controls whose messages carry
// pointers (list views). Freed with the object.
class RemoteBuffer {
 public:
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;
  RemoteBuffer() = default;
  ~RemoteBuffer() {
    if (base_) VirtualFreeEx(process_.get(), base_, 0, MEM_RELEASE);
  }
  bool Open(HWND window, std::size_t size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    process_.reset(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION,
                               FALSE, pid));
    if (!process_) return false;
    base_ = static_cast<char*>(VirtualAllocEx(process_.get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    size_ = size;
    return base_ != nullptr;
  }
  // Address in the other process.
  void* At(std::size_t offset) const { return base_ + offset; }
  bool Write(std::size_t offset, const void* data, std::size_t size) {
    if (offset > size_ || size > size_ - offset) return false;
    SIZE_T written = 0;
    return WriteProcessMemory(process_.get(), base_ + offset, data, size, &written) && written == size;
  }
  bool Read(std::size_t offset, void* data, std::size_t size) const {
    if (offset > size_ || size > size_ - offset) return false;
    SIZE_T read = 0;
    return ReadProcessMemory(process_.get(), base_ + offset, data, size, &read) && read == size;
  }
  // Reads from any address of the other process (a text pointer a control chose).
  bool ReadAt(const void* address, void* data, std::size_t size) const {
    SIZE_T read = 0;
    return ReadProcessMemory(process_.get(), address, data, size, &read) && read == size;
  }

 private:
  UniqueHandleKernel process_;
  char* base_ = nullptr;
  std::size_t size_ = 0;
};

// Remote layout for the list-view requests: one record, then a text buffer.
constexpr std::size_t kRemoteTextOffset = 256;
constexpr std::size_t kRemoteSize = kRemoteTextOffset + kItemTextUnits * sizeof(wchar_t);
static_assert(sizeof(LVITEMW) <= kRemoteTextOffset && sizeof(LVHITTESTINFO) <= kRemoteTextOffset, "record fits");

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

struct ListItem {
  std::wstring text;
  int image = -1;
  LPARAM param = 0;
  UINT state = 0;
  bool hasRect = false;
  RECT rect = {};
};

bool RemoteGetItem(RemoteBuffer& remote, HWND list, int index, ListItem* item) {
  LVITEMW request = {};
  request.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_STATE;
  request.iItem = index;
  request.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  request.pszText = static_cast<LPWSTR>(remote.At(kRemoteTextOffset));
  request.cchTextMax = kItemTextUnits;
  wchar_t empty = 0;
  LRESULT ok = 0;
  if (!remote.Write(0, &request, sizeof request) || !remote.Write(kRemoteTextOffset, &empty, sizeof empty)) return false;
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

// ---------------------------------------------------------------- describe

void WriteListView(JsonWriter& json, HWND list) {
  LRESULT count = 0, selected = -1, images = 0;
  if (!Send(list, LVM_GETITEMCOUNT, 0, 0, &count)) count = 0;
  Send(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED, &selected);
  Send(list, LVM_GETIMAGELIST, LVSIL_NORMAL, 0, &images);
  json.Key("count");
  json.Int(count);
  json.Key("selected");
  json.Int(static_cast<int>(selected));
  json.Key("has_image_list");
  json.Bool(images != 0);
  json.Key("items");
  json.BeginArray();
  RemoteBuffer remote;
  bool open = count > 0 && remote.Open(list, kRemoteSize);
  int limit = count > kMaxListItems ? kMaxListItems : static_cast<int>(count);
  for (int i = 0; open && i < limit; ++i) {
    ListItem item;
    if (!RemoteGetItem(remote, list, i, &item)) continue;
    json.BeginObject();
    json.Key("index");
    json.Int(i);
    json.Key("text");
    json.String(item.text);
    json.Key("image");
    json.Int(item.image);
    json.Key("param");
    json.Int(static_cast<long long>(item.param));
    json.Key("selected");
    json.Bool((item.state & LVIS_SELECTED) != 0);
    json.Key("focused");
    json.Bool((item.state & LVIS_FOCUSED) != 0);
    json.Key("rect");
    if (item.hasRect) {
      WriteRect(json, item.rect);
    } else {
      json.Null();
    }
    json.EndObject();
  }
  json.EndArray();
  if (count > 0 && !open) {
    json.Key("items_error");
    json.UInt(GetLastError());
  }
}

void WriteStringList(JsonWriter& json, HWND control, bool combo) {
  const UINT getCount = combo ? CB_GETCOUNT : LB_GETCOUNT;
  const UINT getLength = combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN;
  const UINT getText = combo ? CB_GETLBTEXT : LB_GETTEXT;
  const UINT getSelection = combo ? CB_GETCURSEL : LB_GETCURSEL;
  LRESULT count = 0, selected = -1;
  if (!Send(control, getCount, 0, 0, &count) || count < 0) count = 0;
  if (count > kMaxListItems) count = kMaxListItems;
  json.Key("items");
  json.BeginArray();
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT length = 0;
    if (!Send(control, getLength, static_cast<WPARAM>(i), 0, &length) || length < 0 || length > (1 << 16)) {
      json.Null();
      continue;
    }
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
    LRESULT copied = 0;
    if (!Send(control, getText, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer.data()), &copied) ||
        copied < 0) {
      json.Null();
      continue;
    }
    json.String(buffer.data(), wcsnlen(buffer.data(), buffer.size()));
  }
  json.EndArray();
  Send(control, getSelection, 0, 0, &selected);
  json.Key("selected");
  json.Int(static_cast<int>(selected));
}

bool IsCheckStyle(LONG style) {
  switch (style & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_3STATE:
    case BS_AUTO3STATE:
    case BS_AUTORADIOBUTTON:
      return true;
    default:
      return false;
  }
}

void WriteControl(JsonWriter& json, HWND control, HWND focus) {
  const std::wstring cls = ClassOf(control);
  const LONG style = GetWindowLongW(control, GWL_STYLE);
  HWND parent = GetParent(control);
  json.BeginObject();
  json.Key("hwnd");
  json.Hex(reinterpret_cast<std::uintptr_t>(control));
  json.Key("parent");
  json.Hex(reinterpret_cast<std::uintptr_t>(parent));
  json.Key("id");
  json.Int(static_cast<int>(GetWindowLongPtrW(control, GWLP_ID)));
  json.Key("class");
  json.String(cls);
  json.Key("text");
  std::wstring text;
  if (ReadText(control, &text)) {
    json.String(text);
  } else {
    json.Null();
  }
  json.Key("enabled");
  json.Bool(IsWindowEnabled(control) != FALSE);
  json.Key("visible");
  json.Bool(IsWindowVisible(control) != FALSE);
  json.Key("style");
  json.UInt(static_cast<DWORD>(style));
  json.Key("exstyle");
  json.UInt(static_cast<DWORD>(GetWindowLongW(control, GWL_EXSTYLE)));
  json.Key("checked");
  LRESULT check = 0;
  if (lstrcmpiW(cls.c_str(), L"Button") == 0 && IsCheckStyle(style) && Send(control, BM_GETCHECK, 0, 0, &check)) {
    json.Int(check);
  } else {
    json.Null();
  }
  json.Key("focus");
  json.Bool(focus != nullptr && focus == control);
  json.Key("focus_within");
  json.Bool(focus != nullptr && (focus == control || IsChild(control, focus)));
  RECT screen = {};
  GetWindowRect(control, &screen);
  RECT local = screen;
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&local), 2);
  json.Key("rect");
  WriteRect(json, local);
  json.Key("screen_rect");
  WriteRect(json, screen);
  LRESULT font = 0;
  bool fontKnown = Query(control, WM_GETFONT, 0, &font);
  bool hasFont = fontKnown && font != 0;
  json.Key("has_font");
  if (fontKnown) {
    json.Bool(hasFont);
  } else {
    json.Null();
  }
  json.Key("font");
  LOGFONTW logFont = {};
  if (hasFont && GetObjectW(reinterpret_cast<HGDIOBJ>(font), sizeof logFont, &logFont) == sizeof logFont) {
    json.BeginObject();
    json.Key("face");
    json.String(logFont.lfFaceName, wcsnlen(logFont.lfFaceName, LF_FACESIZE));
    json.Key("height");
    json.Int(logFont.lfHeight);
    json.Key("weight");
    json.Int(logFont.lfWeight);
    json.Key("italic");
    json.Bool(logFont.lfItalic != 0);
    json.Key("charset");
    json.Int(logFont.lfCharSet);
    json.EndObject();
  } else {
    json.Null();
  }
  json.Key("icon");
  LRESULT icon = 0;
  if (lstrcmpiW(cls.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) {
    json.Bool(Send(control, STM_GETICON, 0, 0, &icon) && icon != 0);
  } else {
    json.Null();
  }
  if (lstrcmpiW(cls.c_str(), L"Edit") == 0) {
    json.Key("password");
    json.Bool((style & ES_PASSWORD) != 0);
  } else if (lstrcmpiW(cls.c_str(), L"ComboBox") == 0) {
    WriteStringList(json, control, true);
  } else if (lstrcmpiW(cls.c_str(), L"ListBox") == 0) {
    WriteStringList(json, control, false);
  } else if (lstrcmpiW(cls.c_str(), WC_LISTVIEWW) == 0) {
    WriteListView(json, control);
  }
  json.EndObject();
}

void WriteMenu(JsonWriter& json, HWND window) {
  LRESULT handle = 0;
  Send(window, kMenuGetHmenu, 0, 0, &handle);
  HMENU menu = reinterpret_cast<HMENU>(handle);
  json.Key("menu");
  json.BeginObject();
  json.Key("hmenu");
  json.Hex(static_cast<std::uint64_t>(handle));
  SetLastError(0);
  int count = menu ? GetMenuItemCount(menu) : -1;
  json.Key("readable");
  json.Bool(count >= 0);
  json.Key("error");
  json.UInt(count >= 0 ? 0 : GetLastError());
  json.Key("items");
  json.BeginArray();
  for (int i = 0; i < count && i < kMaxListItems; ++i) {
    wchar_t text[512] = {};
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 511;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) {
      info = MENUITEMINFOW();
      text[0] = 0;
    }
    if (text[0] == 0) GetMenuStringW(menu, static_cast<UINT>(i), text, 511, MF_BYPOSITION);
    json.BeginObject();
    json.Key("index");
    json.Int(i);
    json.Key("id");
    json.Int(static_cast<int>(info.wID));
    json.Key("text");
    json.String(text, wcsnlen(text, 512));
    json.Key("separator");
    json.Bool((info.fType & MFT_SEPARATOR) != 0);
    json.Key("submenu");
    json.Bool(info.hSubMenu != nullptr);
    json.Key("checked");
    json.Bool((info.fState & MFS_CHECKED) != 0);
    json.Key("disabled");
    json.Bool((info.fState & MFS_DISABLED) != 0);
    json.Key("default");
    json.Bool((info.fState & MFS_DEFAULT) != 0);
    json.Key("highlighted");
    json.Bool((info.fState & MFS_HILITE) != 0);
    json.Key("rect");
    RECT rect = {};
    if (GetMenuItemRect(nullptr, menu, static_cast<UINT>(i), &rect)) {
      WriteRect(json, rect);
    } else {
      json.Null();
    }
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
}

BOOL CALLBACK CollectChild(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

void WriteWindow(JsonWriter& json, HWND window) {
  DWORD pid = 0;
  DWORD tid = GetWindowThreadProcessId(window, &pid);
  GUITHREADINFO gui = {};
  gui.cbSize = sizeof gui;
  bool haveGui = tid != 0 && GetGUIThreadInfo(tid, &gui);
  HWND focus = haveGui ? gui.hwndFocus : nullptr;
  const std::wstring cls = ClassOf(window);
  json.BeginObject();
  json.Key("hwnd");
  json.Hex(reinterpret_cast<std::uintptr_t>(window));
  json.Key("pid");
  json.UInt(pid);
  json.Key("tid");
  json.UInt(tid);
  json.Key("exe");
  json.String(ExeName(pid));
  json.Key("title");
  std::wstring title;
  if (ReadText(window, &title)) {
    json.String(title);
  } else {
    wchar_t buffer[512] = {};
    int length = GetWindowTextW(window, buffer, 512);
    json.String(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
  }
  json.Key("class");
  json.String(cls);
  json.Key("visible");
  json.Bool(IsWindowVisible(window) != FALSE);
  json.Key("enabled");
  json.Bool(IsWindowEnabled(window) != FALSE);
  RECT rect = {};
  GetWindowRect(window, &rect);
  json.Key("rect");
  WriteRect(json, rect);
  RECT client = {};
  GetClientRect(window, &client);
  json.Key("client");
  json.IntArray({client.right - client.left, client.bottom - client.top});
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  json.Key("client_origin");
  json.IntArray({origin.x, origin.y});
  json.Key("style");
  json.UInt(static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)));
  json.Key("exstyle");
  json.UInt(static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)));
  json.Key("foreground");
  json.Bool(GetForegroundWindow() == window);
  json.Key("active");
  json.Bool(haveGui && gui.hwndActive == window);
  json.Key("focus");
  if (focus) {
    json.Hex(reinterpret_cast<std::uintptr_t>(focus));
  } else {
    json.Null();
  }
  HWND owner = GetWindow(window, GW_OWNER);
  json.Key("owner");
  if (owner) {
    json.Hex(reinterpret_cast<std::uintptr_t>(owner));
  } else {
    json.Null();
  }
  HWND parent = GetAncestor(window, GA_PARENT);
  json.Key("parent");
  if (parent && parent != GetDesktopWindow()) {
    json.Hex(reinterpret_cast<std::uintptr_t>(parent));
  } else {
    json.Null();
  }
  json.Key("id");
  json.Int((GetWindowLongW(window, GWL_STYLE) & WS_CHILD) ? static_cast<int>(GetWindowLongPtrW(window, GWLP_ID)) : 0);
  LRESULT icon = 0;
  json.Key("icon_small");
  if (Query(window, WM_GETICON, ICON_SMALL, &icon)) {
    json.Bool(icon != 0);
  } else {
    json.Null();
  }
  json.Key("icon_big");
  if (Query(window, WM_GETICON, ICON_BIG, &icon)) {
    json.Bool(icon != 0);
  } else {
    json.Null();
  }
  json.Key("class_icon_small");
  json.Bool(GetClassLongPtrW(window, GCLP_HICONSM) != 0);
  json.Key("class_icon");
  json.Bool(GetClassLongPtrW(window, GCLP_HICON) != 0);
  json.Key("controls");
  json.BeginArray();
  std::vector<HWND> children;
  EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
  for (HWND child : children) WriteControl(json, child, focus);
  json.EndArray();
  if (cls == L"#32768") WriteMenu(json, window);
  json.EndObject();
}

// ---------------------------------------------------------------- selection

struct Selection {
  const Options* options;
  std::vector<HWND> windows;
};

bool Matches(const Options& o, HWND window) {
  if (!o.hidden && !IsWindowVisible(window)) return false;
  if (o.hasPid) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != o.pid) return false;
  }
  if (o.hasClass && !ClassIs(window, o.className.c_str())) return false;
  if (o.menus && !ClassIs(window, L"#32768")) return false;
  if (o.hasTitle) {
    wchar_t title[1024] = {};
    GetWindowTextW(window, title, 1024);
    if (!wcsstr(title, o.title.c_str())) return false;
  }
  return true;
}

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM data) {
  Selection* selection = reinterpret_cast<Selection*>(data);
  if (Matches(*selection->options, window)) selection->windows.push_back(window);
  return TRUE;
}

std::vector<HWND> Select(const Options& o) {
  Selection selection{&o, {}};
  if (o.hasHwnd) {
    // A window named directly is listed whether visible or not; the other
    // filters still apply.
    Options direct = o;
    direct.hidden = true;
    if (IsWindow(o.hwnd) && Matches(direct, o.hwnd)) selection.windows.push_back(o.hwnd);
  } else {
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&selection));
  }
  return selection.windows;
}

bool AnyVisible(const std::vector<HWND>& windows) {
  for (HWND window : windows)
    if (IsWindowVisible(window)) return true;
  return false;
}

// ---------------------------------------------------------------- actions

struct FindId {
  int id;
  HWND found;
};

BOOL CALLBACK FindById(HWND window, LPARAM data) {
  FindId* find = reinterpret_cast<FindId*>(data);
  if (static_cast<int>(GetWindowLongPtrW(window, GWLP_ID)) != find->id) return TRUE;
  find->found = window;
  return FALSE;
}

HWND FindControl(HWND window, int id) {
  HWND direct = GetDlgItem(window, id);
  if (direct) return direct;
  FindId find{id, nullptr};
  EnumChildWindows(window, FindById, reinterpret_cast<LPARAM>(&find));
  return find.found;
}

HWND FocusOf(HWND window) {
  GUITHREADINFO gui = {};
  gui.cbSize = sizeof gui;
  DWORD tid = GetWindowThreadProcessId(window, nullptr);
  return tid && GetGUIThreadInfo(tid, &gui) ? gui.hwndFocus : nullptr;
}

bool FocusControl(HWND window, HWND control, std::string* error) {
  if (ClassIs(window, L"#32770")) {
    if (!PostMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE)) {
      *error = "PostMessage failed";
      return false;
    }
  } else {
    DWORD self = GetCurrentThreadId();
    DWORD target = GetWindowThreadProcessId(control, nullptr);
    bool attached = target != self && AttachThreadInput(self, target, TRUE);
    SetFocus(control);
    if (attached) AttachThreadInput(self, target, FALSE);
  }
  for (DWORD waited = 0; waited <= 1000; waited += kPollMs) {
    HWND focus = FocusOf(control);
    if (focus == control || IsChild(control, focus)) return true;
    Sleep(kPollMs);
  }
  *error = "the focus did not move";
  return false;
}

// The screen point at which a click hits list-view item `index`.
bool ListItemPoint(HWND list, int index, POINT* point, std::string* error) {
  LRESULT count = 0;
  if (!Send(list, LVM_GETITEMCOUNT, 0, 0, &count) || index < 0 || index >= count) {
    *error = "no such item";
    return false;
  }
  Send(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE, nullptr);
  RemoteBuffer remote;
  if (!remote.Open(list, kRemoteSize)) {
    *error = "cannot open the list's process";
    return false;
  }
  const int codes[] = {LVIR_ICON, LVIR_LABEL, LVIR_BOUNDS};
  for (int code : codes) {
    RECT rect = {};
    if (!RemoteItemRect(remote, list, index, code, &rect) || rect.right <= rect.left || rect.bottom <= rect.top)
      continue;
    POINT centre = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    int hit = -1;
    if (!RemoteHitTest(remote, list, centre, &hit) || hit != index) continue;
    ClientToScreen(list, &centre);
    *point = centre;
    return true;
  }
  *error = "the item has no visible point";
  return false;
}

bool SelectListItem(HWND list, int index, std::string* error) {
  LRESULT count = 0;
  if (!Send(list, LVM_GETITEMCOUNT, 0, 0, &count) || index < 0 || index >= count) {
    *error = "no such item";
    return false;
  }
  RemoteBuffer remote;
  if (!remote.Open(list, kRemoteSize)) {
    *error = "cannot open the list's process";
    return false;
  }
  // As a click does: the other items lose their selection first.
  LVITEMW item = {};
  item.stateMask = LVIS_SELECTED;
  LRESULT ok = 0;
  if (!remote.Write(0, &item, sizeof item) ||
      !Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(remote.At(0)), &ok) || !ok) {
    *error = "LVM_SETITEMSTATE failed";
    return false;
  }
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  if (!remote.Write(0, &item, sizeof item) ||
      !Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(remote.At(0)), &ok) || !ok) {
    *error = "LVM_SETITEMSTATE failed";
    return false;
  }
  Send(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE, nullptr);
  return true;
}

int RunAction(const Options& o, HWND window, JsonWriter& json) {
  std::string error;
  HWND control = window;
  bool needsControl = o.action != Action::Close &&
                      !((o.action == Action::SetText || o.action == Action::Key) && o.controlId == 0);
  if (needsControl) {
    control = FindControl(window, o.controlId);
    if (!control) error = "no control with that id";
  }
  bool ok = false;
  POINT point = {};
  bool hasPoint = false;
  if (error.empty()) {
    switch (o.action) {
      case Action::Close:
        ok = PostMessageW(window, WM_CLOSE, 0, 0) != FALSE;
        break;
      case Action::Click:
        ok = PostMessageW(control, BM_CLICK, 0, 0) != FALSE;
        break;
      case Action::SetText: {
        LRESULT result = 0;
        ok = Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(o.text.c_str()), &result) && result != FALSE;
        break;
      }
      case Action::SetCheck: {
        ok = Send(control, BM_SETCHECK, static_cast<WPARAM>(o.number), 0, nullptr);
        LRESULT state = -1;
        if (ok && (!Send(control, BM_GETCHECK, 0, 0, &state) || state != static_cast<LRESULT>(o.number))) {
          ok = false;
          error = "the check state did not change";
        }
        break;
      }
      case Action::Focus: ok = FocusControl(window, control, &error); break;
      case Action::Key: {
        UINT vk = static_cast<UINT>(o.number);
        LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC) & 0xFF) << 16;
        ok = PostMessageW(control, WM_KEYDOWN, vk, scan | 1) &&
             PostMessageW(control, WM_KEYUP, vk, scan | 1 | (static_cast<LPARAM>(3) << 30));
        break;
      }
      case Action::LvSelect:
        ok = SelectListItem(control, static_cast<int>(o.number), &error);
        break;
      case Action::LvDblClick:
      case Action::LvRClick:
        ok = hasPoint = ListItemPoint(control, static_cast<int>(o.number), &point, &error);
        break;
      case Action::None:
        break;
    }
    if (!ok && error.empty()) error = "the call failed (error " + std::to_string(GetLastError()) + ")";
  }
  json.BeginObject();
  json.Key("action");
  json.Ascii(o.actionName);
  json.Key("hwnd");
  json.Hex(reinterpret_cast<std::uintptr_t>(window));
  json.Key("control");
  if (control) {
    json.Hex(reinterpret_cast<std::uintptr_t>(control));
  } else {
    json.Null();
  }
  json.Key("ok");
  json.Bool(ok);
  if (hasPoint) {
    json.Key("x");
    json.Int(point.x);
    json.Key("y");
    json.Int(point.y);
  }
  if (!ok) {
    json.Key("error");
    json.Ascii(error.c_str());  // fixed ASCII texts only
  }
  json.EndObject();
  return ok ? 0 : 1;
}

void Print(const std::string& text) {
  std::string line = text + "\n";
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(out, &mode)) {
    int units = MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
    std::vector<wchar_t> wide(units > 0 ? static_cast<std::size_t>(units) : 1);
    MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), wide.data(), units);
    DWORD written = 0;
    WriteConsoleW(out, wide.data(), static_cast<DWORD>(units), &written, nullptr);
    return;
  }
  const char* data = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    DWORD written = 0;
    DWORD chunk = left > 0x10000000 ? 0x10000000 : static_cast<DWORD>(left);
    if (!WriteFile(out, data, chunk, &written, nullptr) || written == 0) return;
    data += written;
    left -= written;
  }
}

}  // namespace

// The current directory of another process: its PEB names the process
// parameters, which hold the directory as a counted UTF-16 text. The offsets
// are those of 64-bit processes.
bool ProcessCurrentDirectory(DWORD pid, std::wstring* directory, std::string* error) {
  static_assert(sizeof(void*) == 8, "the offsets below are those of 64-bit processes");
  constexpr std::size_t kPebParameters = 0x20;     // PEB.ProcessParameters
  constexpr std::size_t kParametersCurDir = 0x38;  // RTL_USER_PROCESS_PARAMETERS.CurrentDirectory.DosPath
  struct BasicInformation {
    LONG_PTR exitStatus;
    void* peb;
    ULONG_PTR affinity, priority, pid, parentPid;
  } info = {};
  using QueryFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  const auto query = reinterpret_cast<QueryFn>(
      reinterpret_cast<std::uintptr_t>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  UniqueHandleKernel process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
  if (!process || query == nullptr) {
    *error = "cannot open the process (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  ULONG length = 0;
  if (query(process.get(), 0 /* ProcessBasicInformation */, &info, sizeof(info), &length) != 0 || !info.peb) {
    *error = "NtQueryInformationProcess failed";
    return false;
  }
  auto read = [&](const void* at, void* out, std::size_t size) {
    SIZE_T got = 0;
    return ReadProcessMemory(process.get(), at, out, size, &got) && got == size;
  };
  void* parameters = nullptr;
  struct CountedText {
    USHORT length, capacity;
    ULONG padding;
    wchar_t* buffer;
  } text = {};
  if (!read(static_cast<const char*>(info.peb) + kPebParameters, &parameters, sizeof(parameters)) || !parameters ||
      !read(static_cast<const char*>(parameters) + kParametersCurDir, &text, sizeof(text))) {
    *error = "cannot read the process parameters";
    return false;
  }
  std::vector<wchar_t> units(text.length / sizeof(wchar_t) + 1, L'\0');
  if (text.length != 0 && !read(text.buffer, units.data(), text.length)) {
    *error = "cannot read the directory text";
    return false;
  }
  directory->assign(units.data(), text.length / sizeof(wchar_t));
  return true;
}

int PrintProcessCurrentDirectory(const wchar_t* pidText) {
  unsigned long long pid = 0;
  if (!ParseUnsigned(pidText, 0xFFFFFFFFull, &pid)) {
    Usage(L"bad process id", pidText);
    return 2;
  }
  std::wstring directory;
  std::string error;
  const bool ok = ProcessCurrentDirectory(static_cast<DWORD>(pid), &directory, &error);
  JsonWriter json;
  json.BeginObject();
  json.Key("pid");
  json.Int(static_cast<long long>(pid));
  json.Key("cwd");
  if (ok) {
    json.String(directory);
  } else {
    json.Null();
    json.Key("error");
    json.Ascii(error.c_str());
  }
  json.EndObject();
  Print(json.str());
  return ok ? 0 : 1;
}

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring(argv[1]) == L"--process-cwd") return PrintProcessCurrentDirectory(argv[2]);
  Options options;
  if (!ParseArguments(argc, argv, &options)) return 2;

  std::vector<HWND> windows = Select(options);
  const ULONGLONG deadline = GetTickCount64() + options.waitMs;
  while (!AnyVisible(windows) && GetTickCount64() < deadline) {
    Sleep(kPollMs);
    windows = Select(options);
  }

  JsonWriter json;
  if (options.action != Action::None) {
    HWND target = nullptr;
    for (HWND window : windows) {
      if (IsWindowVisible(window)) {
        target = window;
        break;
      }
    }
    if (!target && !windows.empty()) target = windows.front();
    if (!target) {
      json.BeginObject();
      json.Key("action");
      json.Ascii(options.actionName);
      json.Key("hwnd");
      json.Null();
      json.Key("ok");
      json.Bool(false);
      json.Key("error");
      json.Ascii("no matching window");
      json.EndObject();
      Print(json.str());
      return 1;
    }
    int code = RunAction(options, target, json);
    Print(json.str());
    return code;
  }

  json.BeginObject();
  json.Key("windows");
  json.BeginArray();
  for (HWND window : windows) {
    if (IsWindow(window)) WriteWindow(json, window);
  }
  json.EndArray();
  json.EndObject();
  Print(json.str());
  return windows.empty() ? 1 : 0;
}
