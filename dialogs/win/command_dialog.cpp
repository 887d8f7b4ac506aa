#include "dialogs/win/command_dialog.h"

#include <commdlg.h>

#include <utility>
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
#include "dialogs/win/dialog_actions.h"
#include "dialogs/win/help_dialog.h"
#include "launching/elevation.h"
#include "launching/win/process.h"
#include "launching/win/system_folder.h"
#include "resources/resource.h"

namespace tvn {

namespace {

constexpr int kCommandLineLimit = 2047;     // characters the command line takes
constexpr DWORD kBrowseFlags = 0x10001804;  // hide read-only, path and file must exist, show hidden
// Posted when the dialog is shown: the start-up's warning, shown once the
// dialog is on the screen. (The dialog manager shows the dialog only after
// the initialisation, when its queue is empty: a box opened before would
// keep it hidden.)
constexpr UINT kShowOpenWarning = WM_APP + 1;

// The code of a call that failed: the system's last error, or a general
// failure when the call left none (a failure must never read as success).
DWORD FailureCode() {
  DWORD code = GetLastError();
  return code != 0 ? code : ERROR_GEN_FAILURE;
}

int TitleCompareNoCase(const Text& a, const Text& b) { return lstrcmpiW(W(a), W(b)); }

// The list's sort: `rows` is the address of the dialog's rows.
int CALLBACK CompareRowItems(LPARAM a, LPARAM b, LPARAM rows) {
  return CompareCommandTitles(*reinterpret_cast<const std::vector<CommandEntry>*>(rows), static_cast<std::intptr_t>(a),
                              static_cast<std::intptr_t>(b), TitleCompareNoCase);
}

// Row colours: the answer goes into the message result.
LRESULT CustomDrawAnswer(const NMLVCUSTOMDRAW& draw) {
  switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT: return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: return CDRF_NEWFONT;
    default: return CDRF_DODEFAULT;
  }
}

}  // namespace

CommandDialog::CommandDialog(const CommandDescription& description) : description_(description), menus_(*this) {}

CommandDialog::~CommandDialog() = default;

INT_PTR CommandDialog::Run(HINSTANCE instance, HWND owner) { return RunModal(instance, IDD_COMMAND, owner); }

void CommandDialog::Report() const { ShowError(window(), kKindWarning, true, true, nullptr); }

bool CommandDialog::StartHiddenTicked() const {
  return SendDlgItemMessageW(window(), IDC_COMMAND_START_HIDDEN, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The row whose index a list item carries, or null.
const CommandEntry* CommandDialog::RowOfItem(HWND list, int item) const {
  if (item < 0) return nullptr;
  LVITEMW lv{};
  lv.mask = LVIF_PARAM;
  lv.iItem = item;
  if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&lv))) return nullptr;
  const std::vector<CommandEntry>& rows = description_.list.rows;
  if (lv.lParam < 0 || static_cast<std::size_t>(lv.lParam) >= rows.size()) return nullptr;
  return &rows[static_cast<std::size_t>(lv.lParam)];
}

bool CommandDialog::FillCommandList() {
  HWND list = GetDlgItem(window(), IDC_COMMAND_LIST);
  bool result = true;
  DWORD error = 0;
  const std::vector<CommandEntry>& rows = description_.list.rows;
  for (std::size_t n = 0; n < rows.size(); ++n) {
    const CommandEntry& row = rows[n];
    int image = -1;
    if (imageList_) image = ImageList_ReplaceIcon(imageList_, -1, reinterpret_cast<HICON>(row.icon));
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
  if (!SendMessageW(list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&rows), reinterpret_cast<LPARAM>(CompareRowItems))) {
    SetLastError(FailureCode());
    return false;
  }
  SetLastError(error);
  return result;
}

void CommandDialog::UpdateCommandState() {
  HWND dialog = window();
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

  CommandState state = DecideCommandState(input, currentCommand_.text());
  currentCommand_.Set(state.current);
  commandReady_ = state.ready;
  EnableWindow(GetDlgItem(dialog, IDC_COMMAND_EXECUTE), state.executeEnabled ? TRUE : FALSE);
}

void CommandDialog::Restart(const char16_t* tail) {
  const AppContext* context = description_.context;
  (void)StartCopyOrWarn(window(), context != nullptr ? context->exePath.text() : Text(), Text(tail));
}

// GetOpenFileNameW, from the common dialogs library of the system folder,
// loaded the first time the user browses and kept with the dialog. Importing
// it instead would make every start of the tool load it and the print-spooler
// libraries it brings, for a button that most runs never press. Null with the
// last error set when it cannot be had.
CommandDialog::OpenFileNameFunction CommandDialog::OpenFileNameEntry() {
  if (openFileName_ != nullptr) return openFileName_;
  if (!commonDialogs_) {
    const Text systemFolder = SystemFolder();
    if (systemFolder.empty()) return nullptr;  // SystemFolder's code is the last error
    const Text path = PathInFolder(systemFolder, u"comdlg32.dll");
    if (path.empty()) {
      SetLastError(ERROR_FILENAME_EXCED_RANGE);
      return nullptr;
    }
    commonDialogs_.reset(LoadLibraryW(W(path)));
    if (!commonDialogs_) return nullptr;
  }
  openFileName_ = reinterpret_cast<OpenFileNameFunction>(
      reinterpret_cast<void*>(GetProcAddress(commonDialogs_.get(), "GetOpenFileNameW")));
  return openFileName_;
}

void CommandDialog::Browse() {
  WaitCursor wait;
  const OpenFileNameFunction openFileName = OpenFileNameEntry();
  if (openFileName == nullptr) {
    SetLastError(FailureCode());
    Report();
    return;
  }
  std::vector<wchar_t> file(kPathUnits, L'\0');
  OPENFILENAMEW ofn{};
  ofn.lStructSize = kOpenFileNameSize400;  // without the trailing Windows 2000 fields
  ofn.hwndOwner = window();
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.Flags = kBrowseFlags;
  if (openFileName(&ofn) && file[0] != L'\0') {
    file.back() = L'\0';
    currentCommand_.Set(FormatText(u"\"%s\"", kCommandUnits, {ToText(file.data())}));
    Text quoted = currentCommand_.text();
    SetDlgItemTextW(window(), IDC_COMMAND_LINE, W(quoted));
    SetFocus(GetDlgItem(window(), IDC_COMMAND_LINE));
  }
}

INT_PTR CommandDialog::OnInit() {
  TracePhase("dialog-created");
  const INT_PTR result = Initialise();
  TracePhase("dialog-initialised");
  return result;
}

INT_PTR CommandDialog::Initialise() {
  HWND dialog = window();
  currentCommand_.Allocate(kCommandUnits);
  commandReady_ = 0;

  BringToForeground(dialog);  // its result is not examined

  imageList_ = ImageList_Create(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), ILC_COLOR32 | ILC_MASK, 0, 0);
  if (imageList_ == nullptr) {
    SetLastError(FailureCode());
    Report();
  } else {
    SendDlgItemMessageW(dialog, IDC_COMMAND_LIST, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(imageList_));
  }

  const CommandDescription& d = description_;
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

  if (!FillCommandList()) Report();
  LayOut();
  return FALSE;  // the focus stays where the description put it
}

void CommandDialog::LayOut() {
  layout_.BindCentred(window());
  layout_.AddControl(IDC_COMMAND_ICON, AnchorFixed, AnchorFixed);
  layout_.AddControl(IDC_COMMAND_INFO, AnchorStretch, AnchorFixed);
  layout_.AddControl(IDC_COMMAND_LIST, AnchorStretch, AnchorStretch);
  layout_.AddControl(IDC_COMMAND_LINE, AnchorStretch, AnchorMove);
  layout_.AddControl(IDC_COMMAND_BROWSE, AnchorMove, AnchorMove);
  layout_.AddControl(IDC_COMMAND_SUPPORT_FILTERS, AnchorStretch, AnchorMove);
  layout_.AddControl(IDC_COMMAND_START_HIDDEN, AnchorStretch, AnchorMove);
  layout_.AddControl(IDC_COMMAND_SEPARATOR, AnchorStretch, AnchorMove);
  layout_.AddControl(IDC_COMMAND_EXECUTE, AnchorMove, AnchorMove);
  layout_.AddControl(IDC_COMMAND_CLOSE, AnchorMove, AnchorMove);
  layout_.AddControl(IDC_COMMAND_REFRESH, AnchorFixed, AnchorMove);
  layout_.AddControl(IDC_COMMAND_AUTHORIZATION, AnchorFixed, AnchorMove);
  layout_.AddControl(IDC_COMMAND_HELP, AnchorMove, AnchorFixed);
}

// A right click opens the row's menu; a double click opens a shell row's
// menu and runs the current command of any other row.
INT_PTR CommandDialog::OnListClick(const NMITEMACTIVATE& click, bool doubleClick) {
  const CommandEntry* row = click.iItem != -1 ? RowOfItem(click.hdr.hwndFrom, click.iItem) : nullptr;
  const std::uint16_t type = row != nullptr ? static_cast<std::uint16_t>(row->menuType) : 0;
  if (!doubleClick) {
    // Not marked handled: the list view then sends WM_CONTEXTMENU, which
    // this dialog leaves alone, so the popup opens once.
    if (row != nullptr && !menus_.Open(row->menuNumber, type)) Report();
    return FALSE;
  }
  const bool ok =
      (row != nullptr && type == kMenuTypeShell) ? menus_.Open(row->menuNumber, kMenuTypeShell) : ExecuteCommand();
  if (!ok) Report();
  return FALSE;
}

INT_PTR CommandDialog::OnNotify(const NMHDR& header) {
  if (header.idFrom != IDC_COMMAND_LIST) return FALSE;
  switch (header.code) {
    case NM_CUSTOMDRAW: {
      auto& draw = reinterpret_cast<NMLVCUSTOMDRAW&>(const_cast<NMHDR&>(header));
      if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        const std::vector<CommandEntry>& rows = description_.list.rows;
        std::size_t row = static_cast<std::size_t>(draw.nmcd.lItemlParam);
        draw.clrText = row < rows.size() ? static_cast<COLORREF>(rows[row].colour) : RGB(0, 0, 0);
      }
      SetMessageResult(CustomDrawAnswer(draw));
      return TRUE;
    }
    case NM_RCLICK: return OnListClick(reinterpret_cast<const NMITEMACTIVATE&>(header), false);
    case NM_DBLCLK: return OnListClick(reinterpret_cast<const NMITEMACTIVATE&>(header), true);
    default:
      if (TriggersCommandStateUpdate(IDC_COMMAND_LIST, static_cast<int>(header.code))) UpdateCommandState();
      return FALSE;
  }
}

INT_PTR CommandDialog::OnCommand(int id, int code) {
  if (TriggersCommandStateUpdate(id, code)) {
    UpdateCommandState();
    return FALSE;
  }
  if (code != BN_CLICKED) return FALSE;
  switch (id) {
    case IDC_COMMAND_EXECUTE:
      if (!ExecuteCommand()) Report();
      break;
    case IDC_COMMAND_CLOSE:
    case IDCANCEL: SendMessageW(window(), WM_CLOSE, 0, 0); break;
    case IDC_COMMAND_BROWSE: Browse(); break;
    // The new copy inherits this one's token; the marker keeps a copy that
    // was refused full rights from asking again.
    case IDC_COMMAND_REFRESH: Restart(kMarkedCommandModeTail); break;
    case IDC_COMMAND_AUTHORIZATION: Restart(u" a"); break;
    case IDC_COMMAND_HELP:
      OpenHelpFrom(window(), description_.context);  // " t" after Diagnostics, or the warning box
      break;
    default: break;
  }
  return FALSE;
}

INT_PTR CommandDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_MENUSELECT) menus_.ExpandShellItem(wParam, lParam);
  if (message == WM_SHOWWINDOW && wParam) {
    TracePhase("dialog-shown");
    if (openWarning_ != 0) PostMessageW(window(), kShowOpenWarning, 0, 0);
  }
  if (message == kShowOpenWarning && openWarning_ != 0) {
    SetLastError(std::exchange(openWarning_, 0));
    Report();
  }
  return FALSE;
}

INT_PTR CommandDialog::OnClose() {
  layout_.Release();
  currentCommand_.Free();
  commandReady_ = 0;
  imageList_ = nullptr;  // went with the list view
  EndDialog(window(), 0);
  return FALSE;
}

bool CommandDialog::ExecuteCommand() {
  WaitCursor wait;
  if (commandReady_ != 1) {
    SetLastError(0);
    return true;
  }
  Text command = currentCommand_.text();
  if (!ShellRun(window(), W(command), StartHiddenTicked() ? SW_HIDE : SW_SHOWNORMAL)) {
    SetLastError(FailureCode());
    return false;
  }
  SetLastError(0);
  return true;
}

bool CommandDialog::RunCommand(const Text& command) {
  currentCommand_.Set(command);
  commandReady_ = 1;
  return ExecuteCommand();
}

}  // namespace tvn
