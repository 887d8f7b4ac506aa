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
//   "hwnd":"0x1a2b","pid":N,"exe":"TVN.exe","elevation":N|null (the process
//   token's TokenElevationType: 1 default, 2 full, 3 limited),
//   "title":"...","class":"#32770","visible":B,"enabled":B,"rect":[l,t,r,b]
//   (screen),"foreground":B,"focus":"0x.."|null (focus window of its thread),
//   "owner":"0x.."|null,"id":N,"icon_small":B|null (WM_GETICON ICON_SMALL
//   non-null; null: no answer),
//   "controls":[{
//     "hwnd":"0x..","id":N,"class":"Button","text":"..."|null,"enabled":B,
//     "visible":B,"checked":0|1|2|null (BM_GETCHECK; buttons with a check-box
//     or radio style),"focus":B (is the focus window of the thread),
//     "focus_within":B (it or a child of it has the focus),"rect":[l,t,r,b]
//     (parent's client coordinates),"screen_rect":[l,t,r,b],
//     "has_font":B|null (WM_GETFONT non-null; null: no answer),
//     "icon":B|null (STM_GETICON non-null; SS_ICON statics only),
//     "password":B (edits only),
//     ComboBox and ListBox: "items":["..."],"selected":N (-1 none),
//     SysListView32: "count":N,"selected":N,"has_image_list":B,
//       "items":[{"index":N,"text":"...","image":N,"param":N,"selected":B,
//                 "rect":[l,t,r,b] (LVIR_BOUNDS, list client coordinates)}]
//   }],
//   "#32768" popup menus only: "menu":{"readable":B,"items":[{"index":N,
//     "id":N,"text":"...","separator":B,"checked":B,"rect":[l,t,r,b] (screen)|null}]}
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
//   --lv-select ID INDEX select and focus list-view item INDEX (and only it)
//   --lv-dblclick ID INDEX, --lv-rclick ID INDEX
//                        make item INDEX visible and print the screen point
//                        to click it at: adds "x":N,"y":N (click it with
//                        xdotool mousemove X Y click --repeat 2 1 | click 3)
// ID is the control id (decimal, may be negative); STATE and INDEX are
// decimal or 0x-hex numbers.
//
// tvn_inspect.exe --process-cwd PID prints the current directory of process
// PID, read from its process parameters: {"pid":N,"cwd":"..."} (exit 0), or
// {"pid":N,"cwd":null,"error":"..."} (exit 1).
#include <windows.h>

#include <string>
#include <vector>

#include "tests/tools/inspect/actions.h"
#include "tests/tools/inspect/messages.h"
#include "tests/tools/inspect/options.h"
#include "tests/tools/inspect/output.h"
#include "tests/tools/inspect/process_cwd.h"
#include "tests/tools/inspect/windows.h"
#include "tests/tools/json_out.h"

using tvn_inspect::Action;
using tvn_inspect::AnyVisible;
using tvn_inspect::kPollMs;
using tvn_inspect::Options;
using tvn_inspect::ParseArguments;
using tvn_inspect::Print;
using tvn_inspect::PrintProcessCurrentDirectory;
using tvn_inspect::RunAction;
using tvn_inspect::Select;
using tvn_inspect::WriteWindow;
using tvn_tools::JsonWriter;

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
      json.BeginObject().Key("action").Ascii(options.actionName).Key("hwnd").Null().Key("ok").Bool(false);
      json.Key("error").Ascii("no matching window").EndObject();
      Print(json.str());
      return 1;
    }
    int code = RunAction(options, target, json);
    Print(json.str());
    return code;
  }

  json.BeginObject().Key("windows").BeginArray();
  for (HWND window : windows) {
    if (IsWindow(window)) WriteWindow(json, window);
  }
  json.EndArray().EndObject();
  Print(json.str());
  return windows.empty() ? 1 : 0;
}
