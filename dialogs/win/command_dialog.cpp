#include "dialogs/win/command_dialog.h"

#include <commdlg.h>

#include <vector>

#include "base/system_paths.h"
#include "base/win/error_box.h"
#include "base/win/startup_trace.h"
#include "base/win/struct_sizes.h"
#include "base/win/unique_handle.h"
#include "base/win/wide.h"
#include "dialogs/command_state.h"
#include "dialogs/layout.h"
#include "dialogs/win/apply.h"
#include "dialogs/win/command_menus.h"
#include "dialogs/win/dialog_layout.h"
#include "dialogs/win/help_dialog.h"
#include "launching/win/process.h"
#include "launching/win/successor.h"
#include "launching/win/system_folder.h"
#include "resources/resource.h"

namespace tvn {

namespace {

constexpr int kCommandLineLimit = 2047;     // characters the command line takes
constexpr DWORD kBrowseFlags = 0x10001804;  // hide read-only, path and file must exist, show hidden
constexpr UINT kWaitCursor = 0x7F02;        // IDC_WAIT
constexpr UINT kArrowCursor = 0x7F00;       // IDC_ARROW

CommandDialogState g_state;
Win32DialogLayout g_layout;

const CommandDescription& Description() {
  static const CommandDescription kEmpty;
  return g_state.description != nullptr ? *g_state.description : kEmpty;
}

const std::vector<CommandEntry>& Rows() { return Description().list.rows; }

// The row whose index a list item carries, or null.
const CommandEntry* RowOfItem(HWND list, int item) {
  if (item < 0) return nullptr;
  LVITEMW lv{};
  lv.mask = LVIF_PARAM;
  lv.iItem = item;
  if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&lv))) return nullptr;
  if (lv.lParam < 0 || static_cast<std::size_t>(lv.lParam) >= Rows().size()) return nullptr;
  return &Rows()[static_cast<std::size_t>(lv.lParam)];
}

void ShowCursorResource(UINT cursor) { SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(cursor))); }

// The code of a call that failed: the system's last error, or a general
// failure when the call left none (a failure must never read as success).
DWORD FailureCode() {
  DWORD code = GetLastError();
  return code != 0 ? code : ERROR_GEN_FAILURE;
}

void Report(HWND dialog) { ShowError(dialog, kKindWarning, true, true, nullptr); }

int TitleCompareNoCase(const Text& a, const Text& b) { return lstrcmpiW(W(a), W(b)); }

int CALLBACK CompareRowItems(LPARAM a, LPARAM b, LPARAM) {
  return CompareCommandTitles(Rows(), static_cast<std::intptr_t>(a), static_cast<std::intptr_t>(b), TitleCompareNoCase);
}

bool FillCommandList(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_COMMAND_LIST);
  bool result = true;
  DWORD error = 0;
  const std::vector<CommandEntry>& rows = Rows();
  for (std::size_t n = 0; n < rows.size(); ++n) {
    const CommandEntry& row = rows[n];
    int image = -1;
    if (g_state.imageList) image = ImageList_ReplaceIcon(g_state.imageList, -1, reinterpret_cast<HICON>(row.icon));
    Text title = row.text.text();
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = static_cast<int>(n);
    item.pszText = const_cast<wchar_t*>(W(title));
    item.iImage = image;
    item.lParam = static_cast<LPARAM>(n);
    SetLastError(0);
    if (SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) == -1) {
      result = false;
      error = FailureCode();
    }
  }
  SetLastError(0);
  if (!SendMessageW(list, LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(CompareRowItems))) {
    SetLastError(FailureCode());
    return false;
  }
  SetLastError(error);
  return result;
}

void UpdateCommandState(HWND dialog) {
  CommandStateInput input;
  HWND focus = GetFocus();
  if (focus != nullptr && GetParent(focus) == dialog) input.focusId = GetDlgCtrlID(focus);

  static const Text kNoCommand;
  Text line;
  if (input.focusId == IDC_COMMAND_LIST) {
    HWND list = GetDlgItem(dialog, IDC_COMMAND_LIST);
    int selected = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (selected >= 0) {
      const CommandEntry* row = RowOfItem(list, selected);
      input.selectedCommand = row != nullptr ? &row->command.text() : &kNoCommand;
    }
  } else if (input.focusId == IDC_COMMAND_LINE) {
    std::vector<wchar_t> buffer(kCommandUnits, L'\0');
    SendDlgItemMessageW(dialog, IDC_COMMAND_LINE, WM_GETTEXT, kCommandUnits, reinterpret_cast<LPARAM>(buffer.data()));
    buffer.back() = L'\0';
    line = ToText(buffer.data());
    input.lineText = line;
  }

  CommandState state = DecideCommandState(input, g_state.currentCommand.text());
  g_state.currentCommand.Set(state.current);
  g_state.commandReady = state.ready;
  EnableWindow(GetDlgItem(dialog, IDC_COMMAND_EXECUTE), state.executeEnabled ? TRUE : FALSE);
}

void Restart(HWND dialog, const wchar_t* tail) {
  const AppContext* context = Description().context;
  Text exePath = context != nullptr ? context->exePath.text() : Text();
  DWORD successor = 0;
  if (StartProcess(W(exePath), tail, 0, false, &successor)) {
    NoteSuccessor(successor);
    SendMessageW(dialog, WM_CLOSE, 0, 0);
  } else {
    Report(dialog);
  }
}

using OpenFileNameFunction = BOOL(WINAPI*)(OPENFILENAMEW*);

// GetOpenFileNameW, from the common dialogs library of the system folder,
// loaded the first time the user browses and kept until the process ends.
// Importing it instead would make every start of the tool load it and the
// print-spooler libraries it brings, for a button that most runs never press.
// Null with the last error set when it cannot be had.
OpenFileNameFunction OpenFileNameEntry() {
  static UniqueModule library;
  static OpenFileNameFunction entry = nullptr;
  if (entry != nullptr) return entry;
  if (!library) {
    const Text systemFolder = SystemFolder();
    if (systemFolder.empty()) return nullptr;  // SystemFolder's code is the last error
    const Text path = PathInFolder(systemFolder, u"comdlg32.dll");
    if (path.empty()) {
      SetLastError(ERROR_FILENAME_EXCED_RANGE);
      return nullptr;
    }
    library.reset(LoadLibraryW(W(path)));
    if (!library) return nullptr;
  }
  entry = reinterpret_cast<OpenFileNameFunction>(
      reinterpret_cast<void*>(GetProcAddress(library.get(), "GetOpenFileNameW")));
  return entry;
}

void Browse(HWND dialog) {
  ShowCursorResource(kWaitCursor);
  const OpenFileNameFunction openFileName = OpenFileNameEntry();
  if (openFileName == nullptr) {
    SetLastError(FailureCode());
    Report(dialog);
    ShowCursorResource(kArrowCursor);
    return;
  }
  std::vector<wchar_t> file(kPathUnits, L'\0');
  OPENFILENAMEW ofn{};
  ofn.lStructSize = kOpenFileNameSize400;  // without the trailing Windows 2000 fields
  ofn.hwndOwner = dialog;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.Flags = kBrowseFlags;
  if (openFileName(&ofn) && file[0] != L'\0') {
    file.back() = L'\0';
    g_state.currentCommand.Set(FormatText(u"\"%s\"", kCommandUnits, {ToText(file.data())}));
    Text quoted = g_state.currentCommand.text();
    SetDlgItemTextW(dialog, IDC_COMMAND_LINE, W(quoted));
    SetFocus(GetDlgItem(dialog, IDC_COMMAND_LINE));
  }
  ShowCursorResource(kArrowCursor);
}

void OnInitDialog(HWND dialog, const CommandDescription* description) {
  g_state.currentCommand.Allocate(kCommandUnits);
  g_state.commandReady = 0;
  g_state.description = description;

  BringToForeground(dialog);  // its result is not examined

  g_state.lastShellItem = ShellPopupItem();
  g_state.shellItemCommandId = kShellItemCommandId;

  g_state.imageList =
      ImageList_Create(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), ILC_COLOR32 | ILC_MASK, 0, 0);
  if (g_state.imageList == nullptr) {
    SetLastError(FailureCode());
    Report(dialog);
  } else {
    SendDlgItemMessageW(dialog, IDC_COMMAND_LIST, LVM_SETIMAGELIST, LVSIL_NORMAL,
                        reinterpret_cast<LPARAM>(g_state.imageList));
  }

  const CommandDescription& d = Description();
  ApplyDialogDescription(dialog, d.window);
  ApplyControlDescription(dialog, IDC_COMMAND_ICON, d.systemIcon, ControlKind::Icon);
  ApplyControlDescription(dialog, IDC_COMMAND_INFO, d.systemText, ControlKind::Edit);
  ApplyListDescription(dialog, IDC_COMMAND_LIST, d.list.font, d.list.enabled, d.list.focus);
  ApplyControlDescription(dialog, IDC_COMMAND_LINE, d.commandLine, ControlKind::Edit, kCommandLineLimit);
  ApplyControlDescription(dialog, IDC_COMMAND_BROWSE, d.browse, ControlKind::PushButton);
  ApplyControlDescription(dialog, IDC_COMMAND_SUPPORT_FILTERS, d.filterSupport, ControlKind::CheckBox);
  ApplyControlDescription(dialog, IDC_COMMAND_START_HIDDEN, d.startHidden, ControlKind::CheckBox);
  ApplyControlDescription(dialog, IDC_COMMAND_EXECUTE, d.execute, ControlKind::PushButton);
  ApplyControlDescription(dialog, IDC_COMMAND_CLOSE, d.close, ControlKind::PushButton);
  ApplyControlDescription(dialog, IDC_COMMAND_REFRESH, d.refresh, ControlKind::PushButton);
  ApplyControlDescription(dialog, IDC_COMMAND_AUTHORIZATION, d.authorization, ControlKind::PushButton);
  ApplyControlDescription(dialog, IDC_COMMAND_HELP, d.help, ControlKind::PushButton);

  if (!FillCommandList(dialog)) Report(dialog);

  g_layout.BindCentred(dialog);
  g_layout.AddControl(IDC_COMMAND_ICON, AnchorFixed, AnchorFixed);
  g_layout.AddControl(IDC_COMMAND_INFO, AnchorStretch, AnchorFixed);
  g_layout.AddControl(IDC_COMMAND_LIST, AnchorStretch, AnchorStretch);
  g_layout.AddControl(IDC_COMMAND_LINE, AnchorStretch, AnchorMove);
  g_layout.AddControl(IDC_COMMAND_BROWSE, AnchorMove, AnchorMove);
  g_layout.AddControl(IDC_COMMAND_SUPPORT_FILTERS, AnchorStretch, AnchorMove);
  g_layout.AddControl(IDC_COMMAND_START_HIDDEN, AnchorStretch, AnchorMove);
  g_layout.AddControl(IDC_COMMAND_SEPARATOR, AnchorStretch, AnchorMove);
  g_layout.AddControl(IDC_COMMAND_EXECUTE, AnchorMove, AnchorMove);
  g_layout.AddControl(IDC_COMMAND_CLOSE, AnchorMove, AnchorMove);
  g_layout.AddControl(IDC_COMMAND_REFRESH, AnchorFixed, AnchorMove);
  g_layout.AddControl(IDC_COMMAND_AUTHORIZATION, AnchorFixed, AnchorMove);
  g_layout.AddControl(IDC_COMMAND_HELP, AnchorMove, AnchorFixed);

  // The description enables Execute after the focus was set; bring it in
  // line with the focus, so that it never starts enabled without a command.
  UpdateCommandState(dialog);
}

// Row colours: the answer goes into the message result.
LRESULT OnCustomDraw(const NMLVCUSTOMDRAW* draw) {
  switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT: return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
      return CDRF_NEWFONT;
    }
    default: return CDRF_DODEFAULT;
  }
}

INT_PTR OnNotify(HWND dialog, const NMHDR* header) {
  if (header == nullptr || header->idFrom != IDC_COMMAND_LIST) return FALSE;
  switch (header->code) {
    case NM_CUSTOMDRAW: {
      auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(const_cast<NMHDR*>(header));
      if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        const std::vector<CommandEntry>& rows = Rows();
        std::size_t row = static_cast<std::size_t>(draw->nmcd.lItemlParam);
        draw->clrText = row < rows.size() ? static_cast<COLORREF>(rows[row].colour) : RGB(0, 0, 0);
      }
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT, OnCustomDraw(draw));
      return TRUE;
    }
    case NM_RCLICK: {
      auto* click = reinterpret_cast<const NMITEMACTIVATE*>(header);
      if (click->iItem != -1) {
        const CommandEntry* row = RowOfItem(header->hwndFrom, click->iItem);
        if (row != nullptr && !OpenRowMenu(dialog, row->menuNumber, static_cast<std::uint16_t>(row->menuType))) {
          Report(dialog);
        }
      }
      // Handled: the list view must not send WM_CONTEXTMENU as well.
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 1);
      return TRUE;
    }
    case NM_DBLCLK: {
      auto* click = reinterpret_cast<const NMITEMACTIVATE*>(header);
      const CommandEntry* row = click->iItem != -1 ? RowOfItem(header->hwndFrom, click->iItem) : nullptr;
      bool ok = (row != nullptr && static_cast<std::uint16_t>(row->menuType) == kMenuTypeShell)
                    ? OpenRowMenu(dialog, row->menuNumber, kMenuTypeShell)
                    : ExecuteCommand(dialog);
      if (!ok) Report(dialog);
      return FALSE;
    }
    default:
      if (TriggersCommandStateUpdate(IDC_COMMAND_LIST, static_cast<int>(header->code))) UpdateCommandState(dialog);
      return FALSE;
  }
}

void OnCommand(HWND dialog, int id, int code) {
  if (TriggersCommandStateUpdate(id, code)) {
    UpdateCommandState(dialog);
    return;
  }
  if (code != BN_CLICKED) return;
  switch (id) {
    case IDC_COMMAND_EXECUTE:
      if (!ExecuteCommand(dialog)) Report(dialog);
      return;
    case IDC_COMMAND_CLOSE:
    case IDCANCEL: SendMessageW(dialog, WM_CLOSE, 0, 0); return;
    case IDC_COMMAND_BROWSE: Browse(dialog); return;
    case IDC_COMMAND_REFRESH: Restart(dialog, L" c"); return;
    case IDC_COMMAND_AUTHORIZATION: Restart(dialog, L" a"); return;
    case IDC_COMMAND_HELP:
      OpenHelpFrom(dialog, Description().context);  // " t" after Diagnostics, or the warning box
      return;
    default: return;
  }
}

void OnClose(HWND dialog) {
  g_layout.Release();
  g_state.currentCommand.Free();
  g_state.commandReady = 0;
  g_state.imageList = nullptr;  // went with the list view
  EndDialog(dialog, 0);
}

}  // namespace

CommandDialogState& CommandDialog() { return g_state; }

bool StartHiddenTicked(HWND dialog) {
  return SendDlgItemMessageW(dialog, IDC_COMMAND_START_HIDDEN, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool ExecuteCommand(HWND dialog) {
  ShowCursorResource(kWaitCursor);
  bool result = true;
  DWORD error = 0;
  if (g_state.commandReady == 1) {
    Text command = g_state.currentCommand.text();
    if (!ShellRun(dialog, W(command), StartHiddenTicked(dialog) ? SW_HIDE : SW_SHOWNORMAL)) {
      result = false;
      error = FailureCode();
    }
  }
  ShowCursorResource(kArrowCursor);
  SetLastError(error);
  return result;
}

INT_PTR CALLBACK CommandDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      TracePhase("dialog-created");
      OnInitDialog(dialog, reinterpret_cast<const CommandDescription*>(lParam));
      TracePhase("dialog-initialised");
      return FALSE;  // the focus stays where the description put it
    case WM_SHOWWINDOW:
      if (wParam) TracePhase("dialog-shown");
      return FALSE;
    case WM_COMMAND: OnCommand(dialog, LOWORD(wParam), HIWORD(wParam)); return FALSE;
    case WM_NOTIFY: return OnNotify(dialog, reinterpret_cast<const NMHDR*>(lParam));
    case WM_SIZE: g_layout.OnSize(lParam); return FALSE;
    case WM_GETMINMAXINFO: g_layout.OnGetMinMaxInfo(lParam); return FALSE;
    case WM_CLOSE: OnClose(dialog); return FALSE;
    case WM_MENUSELECT: ExpandShellItem(dialog, wParam, lParam); return FALSE;
    default: return FALSE;
  }
}

}  // namespace tvn
