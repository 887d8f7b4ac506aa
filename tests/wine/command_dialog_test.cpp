// The command dialog from the real template, driven from inside: the steps of
// each test run while the dialog's own modal loop (and the loops of its popups
// and message boxes) dispatch them. Commands start tvn_record.exe (next to this
// program), which records how it was started.
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/win/unique_handle.h"
#include "base/win/wide.h"
#include "description/records.h"
#include "dialogs/win/command_dialog.h"
#include "dialogs/win/command_menus.h"
#include "resources/resource.h"
#include "tests/wine/support/dialog_driver.h"
#include "tests/wine/support/files.h"
#include "tests/wine/support/records.h"
#include "tests/wine/support/windows.h"

namespace {

using tvn::Text;
using tvn_test::DialogDriver;
using tvn_test::Do;
using tvn_test::FindThreadDialog;
using tvn_test::FindThreadMessageBox;
using tvn_test::FindThreadWindow;
using tvn_test::Pause;
using tvn_test::PostClicked;
using tvn_test::PostKey;
using tvn_test::Record;
using tvn_test::RecorderPath;
using tvn_test::Utf8;

constexpr wchar_t kCaption[] = L"Command dialog under test";
constexpr COLORREF kZetaColour = RGB(200, 0, 0);
constexpr UINT kGetMenuHandle = 0x01E1;  // MN_GETHMENU

Text T(const std::wstring& text) { return tvn::ToText(text.c_str()); }

void SetText(tvn::TextBuffer& buffer, std::size_t units, const std::wstring& text) {
  buffer.Allocate(units);
  buffer.Set(T(text));
}

// --- The description the tests hand to the dialog ------------------------

// Rows in description order; the list shows them ordered by title.
struct RowSpec {
  const wchar_t* title;
  COLORREF colour;
  const wchar_t* argument;  // the recorder's argument; null: an empty command
  std::int16_t menuType;
  std::int16_t menuNumber;
};
const RowSpec kRows[] = {
    {L"zeta Tool", kZetaColour, L"row-zeta", 1, 0},  // 0: static menu 0
    {L"alpha", RGB(0, 128, 0), L"row-alpha", 0, 0},  // 1
    {L"Beta", RGB(0, 0, 255), nullptr, 2, 1},        // 2: Control Panel
    {L"gamma printers", 0, nullptr, 2, 2},           // 3: Printers
    {L"Delta network", 0, nullptr, 2, 3},            // 4: Network connections
    {L"epsilon none", 0, L"row-epsilon", 1, 4},      // 5: menu number equal to the count
};
// The rows' indexes as the list shows them: by title, without regard to case.
const int kSortedRows[] = {1, 2, 4, 5, 3, 0};

struct Fixture {
  tvn::CommandDescription description;
  tvn::AppContext context;
  tvn_test::RecordFile recordFile{tvn_test::TempDir() + L"tvn_cmd_dialog_record.log"};
  tvn::CommandDialog dialog{description};  // the dialog of every run of the test

  Fixture() {
    SetText(context.exePath, tvn::kPathUnits, RecorderPath());
    description.context = &context;
    SetText(description.window.text, tvn::kCaptionUnits, kCaption);
    description.window.icon = reinterpret_cast<tvn::IconHandle>(LoadIconW(nullptr, IDI_APPLICATION));
    description.systemIcon.icon = description.window.icon;
    description.systemIcon.enabled = true;
    SetText(description.systemText.text, tvn::kCaptionUnits, L"Information");
    description.systemText.enabled = true;

    for (const RowSpec& spec : kRows) {
      tvn::CommandEntry row;
      SetText(row.text, tvn::kCaptionUnits, spec.title);
      SetText(row.command, tvn::kCommandUnits, spec.argument ? Quoted() + L" " + spec.argument : L"");
      row.colour = spec.colour;
      row.icon = reinterpret_cast<tvn::IconHandle>(LoadIconW(nullptr, IDI_INFORMATION));
      row.menuType = spec.menuType;
      row.menuNumber = spec.menuNumber;
      description.list.rows.push_back(std::move(row));
    }
    description.list.count = static_cast<std::uint32_t>(description.list.rows.size());
    description.list.enabled = true;

    AddMenu({{L"Record one", Quoted() + L" static-1"}, {L"", L""}, {L"Record three", Quoted() + L" static-3"}});
    AddMenu({{L"Control panel", L"3"}});
    AddMenu({{L"Printers", L"4"}});
    AddMenu({{L"Network", L"49"}});

    SetText(description.commandLine.text, tvn::kCommandUnits, L"");
    description.commandLine.enabled = true;
    description.commandLine.focus = true;  // as in the default description
    tvn::ControlDescription* buttons[] = {
        &description.browse, &description.filterSupport, &description.startHidden,   &description.execute,
        &description.close,  &description.refresh,       &description.authorization, &description.help};
    for (tvn::ControlDescription* button : buttons) {
      SetText(button->text, tvn::kCaptionUnits, L"Button");
      button->enabled = true;
    }
  }

  static std::wstring Quoted() { return L"\"" + RecorderPath() + L"\""; }

  void AddMenu(std::vector<std::pair<std::wstring, std::wstring>> entries) {
    tvn::MenuDescription menu;
    for (const auto& e : entries) {
      tvn::MenuEntry entry;
      SetText(entry.text, tvn::kCaptionUnits, e.first);
      SetText(entry.command, tvn::kCommandUnits, e.second);
      menu.entries.push_back(std::move(entry));
    }
    menu.count = static_cast<std::uint32_t>(menu.entries.size());
    description.menus.menus.push_back(std::move(menu));
    description.menus.count = static_cast<std::uint32_t>(description.menus.menus.size());
  }

  // The recorder's lines so far.
  std::vector<Record> Records() const { return recordFile.Records(); }
};

// --- Driving the dialog from inside -----------------------------------------

using Step = DialogDriver::Step;

// The file dialog of Browse: a visible dialog of this thread with the file
// name box (cmb13 or edt1). Its caption depends on the system's language.
HWND FileDialogWindow() {
  HWND found = FindThreadDialog(0x47C);
  return found != nullptr ? found : FindThreadDialog(0x480);
}
HWND PopupWindow() { return FindThreadWindow(L"#32768"); }

// Opens the dialog with the fixture's description and runs the steps; the
// dialog is closed after the last one. True when all steps ran in time.
bool RunDialog(Fixture& fixture, std::vector<Step> steps, DWORD timeoutMs = 20000) {
  DialogDriver::Options options;
  options.find = [] { return FindThreadDialog(0, kCaption); };
  options.closeAfterLastStep = true;
  options.timeoutMs = timeoutMs;
  const DialogDriver::Result run = DialogDriver::Run(
      [&fixture] { return fixture.dialog.Run(GetModuleHandleW(nullptr), nullptr); }, std::move(steps), options);
  EXPECT_EQ(run.dialogResult, 0);
  EXPECT_FALSE(run.timedOut) << "stopped at step " << run.stepsDone << " of " << run.stepCount;
  return !run.timedOut && run.finished;
}

HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }
bool ExecuteEnabled(HWND dialog) { return IsWindowEnabled(Item(dialog, IDC_COMMAND_EXECUTE)) != FALSE; }

int ListItemOfRow(HWND dialog, int row) {
  LVFINDINFOW find{};
  find.flags = LVFI_PARAM;
  find.lParam = row;
  return static_cast<int>(SendMessageW(Item(dialog, IDC_COMMAND_LIST), LVM_FINDITEMW, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(&find)));
}

// Posts a list notification as the list view would send it (the record stays
// alive: the dialog reads it when the message arrives).
void PostListNotify(HWND dialog, UINT code, int item) {
  static NMITEMACTIVATE notify;
  notify = NMITEMACTIVATE{};
  notify.hdr.hwndFrom = Item(dialog, IDC_COMMAND_LIST);
  notify.hdr.idFrom = IDC_COMMAND_LIST;
  notify.hdr.code = code;
  notify.iItem = item;
  PostMessageW(dialog, WM_NOTIFY, IDC_COMMAND_LIST, reinterpret_cast<LPARAM>(&notify));
}

std::wstring MenuText(HMENU menu, UINT position) {
  wchar_t text[256] = {};
  GetMenuStringW(menu, position, text, 256, MF_BYPOSITION);
  return text;
}

MENUITEMINFOW MenuItem(HMENU menu, UINT position) {
  MENUITEMINFOW item{};
  item.cbSize = sizeof(item);
  item.fMask = MIIM_ID | MIIM_FTYPE | MIIM_SUBMENU | MIIM_DATA;
  GetMenuItemInfoW(menu, position, TRUE, &item);
  return item;
}

// Waits until the recorder has written `count` lines.
Step RecordCount(const Fixture& fixture, std::size_t count) {
  return [&fixture, count](HWND) { return fixture.Records().size() >= count; };
}

class CommandDialog : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    com_.reset(new tvn::ComInitialization());
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
  }
  static void TearDownTestSuite() { com_.reset(); }
  void SetUp() override {
    if (!tvn_test::HaveDisplay()) GTEST_SKIP() << "needs a display";
    if (!tvn_test::Exists(RecorderPath())) GTEST_SKIP() << "needs tvn_record.exe";
  }
  Fixture fixture;

 private:
  // The shell menus need COM on this thread, as the tool has it.
  static inline std::unique_ptr<tvn::ComInitialization> com_;
};
using ShellMenu = CommandDialog;

TEST_F(CommandDialog, OpensWithRowsOrderedByTitleAndTheFocusOnTheCommandLine) {
  std::vector<std::wstring> titles;
  std::vector<LPARAM> params;
  HWND focus = nullptr, line = nullptr;
  int images = -1;
  wchar_t caption[128] = {};
  ASSERT_TRUE(RunDialog(fixture, {Do([&](HWND dialog) {
                          HWND list = Item(dialog, IDC_COMMAND_LIST);
                          int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
                          for (int i = 0; i < count; ++i) {
                            wchar_t text[128] = {};
                            LVITEMW item{};
                            item.mask = LVIF_TEXT | LVIF_PARAM;
                            item.iItem = i;
                            item.pszText = text;
                            item.cchTextMax = 128;
                            SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
                            titles.push_back(text);
                            params.push_back(item.lParam);
                          }
                          focus = GetFocus();
                          line = Item(dialog, IDC_COMMAND_LINE);
                          auto imageList =
                              reinterpret_cast<HIMAGELIST>(SendMessageW(list, LVM_GETIMAGELIST, LVSIL_NORMAL, 0));
                          images = imageList ? ImageList_GetImageCount(imageList) : -1;
                          GetWindowTextW(dialog, caption, 128);
                        })}));
  ASSERT_EQ(titles.size(), 6u);
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(params[i], kSortedRows[i]) << i;
    EXPECT_EQ(titles[i], kRows[kSortedRows[i]].title) << i;
  }
  EXPECT_EQ(focus, line);
  EXPECT_EQ(images, 6);
  EXPECT_STREQ(caption, kCaption);
}

// The description enables Execute after the focus went to the empty command
// line; with nothing ready, pressing it runs and reports nothing.
TEST_F(CommandDialog, ExecuteOpensEnabledAndRunsNothingWithoutACommand) {
  bool enabled = false, boxShown = true;
  ASSERT_TRUE(RunDialog(fixture, {Do([&](HWND dialog) {
                                    enabled = ExecuteEnabled(dialog);
                                    PostClicked(dialog, IDC_COMMAND_EXECUTE);
                                  }),
                                  Pause(300), Do([&](HWND) { boxShown = FindThreadMessageBox() != nullptr; })}));
  EXPECT_TRUE(enabled);
  EXPECT_FALSE(boxShown);
  EXPECT_TRUE(fixture.Records().empty());
}

TEST_F(CommandDialog, TypedCommandsRunThroughTheShellWithTheChosenShowState) {
  bool blankEnabled = true, typedEnabled = false, emptyEnabled = true;
  ASSERT_TRUE(
      RunDialog(fixture, {Do([&](HWND dialog) {
                            SetDlgItemTextW(dialog, IDC_COMMAND_LINE, (L" " + Fixture::Quoted() + L" blank").c_str());
                            blankEnabled = ExecuteEnabled(dialog);
                            SetDlgItemTextW(dialog, IDC_COMMAND_LINE, L"");
                            emptyEnabled = ExecuteEnabled(dialog);
                            SetDlgItemTextW(dialog, IDC_COMMAND_LINE, (Fixture::Quoted() + L" typed-shown").c_str());
                            typedEnabled = ExecuteEnabled(dialog);
                            PostClicked(dialog, IDC_COMMAND_EXECUTE);
                          }),
                          RecordCount(fixture, 1), Do([&](HWND dialog) {
                            SendDlgItemMessageW(dialog, IDC_COMMAND_START_HIDDEN, BM_SETCHECK, BST_CHECKED, 0);
                            PostClicked(dialog, IDC_COMMAND_EXECUTE);
                          }),
                          RecordCount(fixture, 2)}));
  EXPECT_FALSE(blankEnabled) << "a command line starting with a blank is not ready";
  EXPECT_FALSE(emptyEnabled);
  EXPECT_TRUE(typedEnabled);
  std::vector<Record> records = fixture.Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].List("argv"), std::vector<std::wstring>{L"typed-shown"}) << records[0].line();
  EXPECT_EQ(records[0].Number("show"), 1) << records[0].line();
  EXPECT_EQ(records[0].Text("cwd"), L"C:\\") << records[0].line();
  EXPECT_EQ(records[1].Number("show"), 0) << records[1].line();
}

TEST_F(CommandDialog, MissingProgramShowsTheWarningBoxAndTheDialogStays) {
  std::wstring boxText;
  bool dialogAlive = false;
  ASSERT_TRUE(RunDialog(fixture, {Do([](HWND dialog) {
                                    SetDlgItemTextW(dialog, IDC_COMMAND_LINE, L"C:\\no\\such\\program.exe");
                                    PostClicked(dialog, IDC_COMMAND_EXECUTE);
                                  }),
                                  tvn_test::AnswerMessageBox(&boxText), tvn_test::NoMessageBox(),
                                  Do([&](HWND dialog) { dialogAlive = IsWindowVisible(dialog) != FALSE; })}));
  EXPECT_EQ(boxText.rfind(L"Error (3): ", 0), 0u) << Utf8(boxText);
  EXPECT_TRUE(dialogAlive);
  EXPECT_TRUE(fixture.Records().empty());
}

TEST_F(CommandDialog, StaticMenuListsEntriesLastFirstAndRunsThePick) {
  std::vector<std::wstring> texts;
  std::vector<UINT> ids;
  std::vector<UINT> types;
  Text current;
  ASSERT_TRUE(
      RunDialog(fixture, {Do([](HWND dialog) { PostListNotify(dialog, NM_RCLICK, ListItemOfRow(dialog, 0)); }),
                          [&](HWND) {
                            HWND popup = PopupWindow();
                            if (popup == nullptr) return false;
                            auto menu = reinterpret_cast<HMENU>(SendMessageW(popup, kGetMenuHandle, 0, 0));
                            for (int i = 0; i < GetMenuItemCount(menu); ++i) {
                              MENUITEMINFOW item = MenuItem(menu, static_cast<UINT>(i));
                              texts.push_back(MenuText(menu, static_cast<UINT>(i)));
                              ids.push_back(item.wID);
                              types.push_back(item.fType);
                            }
                            PostKey(popup, VK_DOWN);  // the top item: the last entry
                            PostKey(popup, VK_RETURN);
                            return true;
                          },
                          RecordCount(fixture, 1), Do([&](HWND) { current = fixture.dialog.currentCommand(); })}));
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], L"Record three");
  EXPECT_EQ(ids[0], 3u);
  EXPECT_TRUE(types[1] & MFT_SEPARATOR);
  EXPECT_EQ(texts[2], L"Record one");
  EXPECT_EQ(ids[2], 1u);
  std::vector<Record> records = fixture.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].List("argv"), std::vector<std::wstring>{L"static-3"}) << records[0].line();
  EXPECT_EQ(current, T(Fixture::Quoted() + L" static-3")) << "the pick stays the current command";
}

TEST_F(CommandDialog, CustomDrawGivesEachRowItsColour) {
  LRESULT prepaint = -1, itemPrepaint = -1, postpaint = -1, foreign = -1;
  COLORREF colour = 0, untouched = 0;
  ASSERT_TRUE(RunDialog(fixture, {Do([&](HWND dialog) {
                          NMLVCUSTOMDRAW draw{};
                          draw.nmcd.hdr.hwndFrom = Item(dialog, IDC_COMMAND_LIST);
                          draw.nmcd.hdr.idFrom = IDC_COMMAND_LIST;
                          draw.nmcd.hdr.code = NM_CUSTOMDRAW;
                          auto send = [&] {
                            return SendMessageW(dialog, WM_NOTIFY, IDC_COMMAND_LIST, reinterpret_cast<LPARAM>(&draw));
                          };
                          draw.nmcd.dwDrawStage = CDDS_PREPAINT;
                          prepaint = send();
                          draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
                          draw.nmcd.lItemlParam = 0;  // row 0, zeta
                          draw.clrText = RGB(1, 2, 3);
                          itemPrepaint = send();
                          colour = draw.clrText;
                          draw.nmcd.dwDrawStage = CDDS_POSTPAINT;
                          postpaint = send();
                          // Another control's notification is not answered.
                          draw.nmcd.hdr.idFrom = IDC_COMMAND_LINE;
                          draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
                          draw.clrText = RGB(1, 2, 3);
                          foreign = send();
                          untouched = draw.clrText;
                        })}));
  EXPECT_EQ(prepaint, CDRF_NOTIFYITEMDRAW);
  EXPECT_EQ(itemPrepaint, CDRF_NEWFONT);
  EXPECT_EQ(colour, kZetaColour);
  EXPECT_EQ(postpaint, CDRF_DODEFAULT);
  EXPECT_EQ(foreign, 0);
  EXPECT_EQ(untouched, RGB(1, 2, 3));
}

TEST_F(CommandDialog, DoubleClickOnAPlainRowRunsItsCommand) {
  bool enabledOnRow = false, enabledOnShellRow = true;
  ASSERT_TRUE(RunDialog(
      fixture, {Do([&](HWND dialog) {
                  HWND list = Item(dialog, IDC_COMMAND_LIST);
                  SetFocus(list);
                  LVITEMW state{};
                  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
                  state.state = LVIS_SELECTED | LVIS_FOCUSED;
                  // A shell-folder row has no command: Execute stays disabled.
                  SendMessageW(list, LVM_SETITEMSTATE, ListItemOfRow(dialog, 2), reinterpret_cast<LPARAM>(&state));
                  enabledOnShellRow = ExecuteEnabled(dialog);
                  SendMessageW(list, LVM_SETITEMSTATE, ListItemOfRow(dialog, 1), reinterpret_cast<LPARAM>(&state));
                  enabledOnRow = ExecuteEnabled(dialog);
                  PostListNotify(dialog, NM_DBLCLK, ListItemOfRow(dialog, 1));
                }),
                RecordCount(fixture, 1)}));
  EXPECT_FALSE(enabledOnShellRow);
  EXPECT_TRUE(enabledOnRow);
  std::vector<Record> records = fixture.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].List("argv"), std::vector<std::wstring>{L"row-alpha"}) << records[0].line();
}

TEST_F(CommandDialog, BrowsePutsTheQuotedPathIntoTheCommandLine) {
  std::wstring line;
  bool lineFocused = false, enabled = false;
  const std::wstring picked = RecorderPath();
  ASSERT_TRUE(RunDialog(fixture, {Do([](HWND dialog) { PostClicked(dialog, IDC_COMMAND_BROWSE); }),
                                  [&](HWND) {
                                    HWND open = FileDialogWindow();
                                    if (open == nullptr) return false;
                                    // The file name box of the Explorer-style dialog (cmb13), then OK.
                                    if (!SetDlgItemTextW(open, 0x47C, picked.c_str()))
                                      SetDlgItemTextW(open, 0x480, picked.c_str());
                                    PostMessageW(open, WM_COMMAND, IDOK, 0);
                                    return true;
                                  },
                                  [&](HWND dialog) {
                                    if (FileDialogWindow() != nullptr) return false;
                                    wchar_t text[2048] = {};
                                    GetDlgItemTextW(dialog, IDC_COMMAND_LINE, text, 2048);
                                    line = text;
                                    lineFocused = GetFocus() == Item(dialog, IDC_COMMAND_LINE);
                                    enabled = ExecuteEnabled(dialog);
                                    return true;
                                  }}));
  EXPECT_EQ(line, L"\"" + picked + L"\"");
  EXPECT_TRUE(lineFocused);
  EXPECT_TRUE(enabled);
}

struct Anchor {
  int id;
  int dx, dy, dw, dh;  // expected change for a 40 x 30 growth
};

TEST_F(CommandDialog, GrowingMovesControlsByTheAnchorTable) {
  const Anchor anchors[] = {
      {IDC_COMMAND_ICON, 0, 0, 0, 0},           {IDC_COMMAND_INFO, 0, 0, 40, 0},
      {IDC_COMMAND_LIST, 0, 0, 40, 30},         {IDC_COMMAND_LINE, 0, 30, 40, 0},
      {IDC_COMMAND_BROWSE, 40, 30, 0, 0},       {IDC_COMMAND_SUPPORT_FILTERS, 0, 30, 40, 0},
      {IDC_COMMAND_START_HIDDEN, 0, 30, 40, 0}, {IDC_COMMAND_SEPARATOR, 0, 30, 40, 0},
      {IDC_COMMAND_EXECUTE, 40, 30, 0, 0},      {IDC_COMMAND_CLOSE, 40, 30, 0, 0},
      {IDC_COMMAND_REFRESH, 0, 30, 0, 0},       {IDC_COMMAND_AUTHORIZATION, 0, 30, 0, 0},
      {IDC_COMMAND_HELP, 40, 0, 0, 0},
  };
  std::vector<RECT> before, after;
  RECT window{};
  MINMAXINFO limits{};
  auto rects = [&](HWND dialog) {
    std::vector<RECT> out;
    for (const Anchor& a : anchors) {
      RECT r{};
      GetWindowRect(Item(dialog, a.id), &r);
      MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
      out.push_back(r);
    }
    return out;
  };
  ASSERT_TRUE(RunDialog(fixture, {Do([&](HWND dialog) {
                          before = rects(dialog);
                          GetWindowRect(dialog, &window);
                          SetWindowPos(dialog, nullptr, 0, 0, window.right - window.left + 40,
                                       window.bottom - window.top + 30, SWP_NOMOVE | SWP_NOZORDER);
                          after = rects(dialog);
                          SendMessageW(dialog, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
                        })}));
  ASSERT_EQ(after.size(), before.size());
  for (std::size_t i = 0; i < before.size(); ++i) {
    const Anchor& a = anchors[i];
    EXPECT_EQ(after[i].left - before[i].left, a.dx) << a.id;
    EXPECT_EQ(after[i].top - before[i].top, a.dy) << a.id;
    EXPECT_EQ((after[i].right - after[i].left) - (before[i].right - before[i].left), a.dw) << a.id;
    EXPECT_EQ((after[i].bottom - after[i].top) - (before[i].bottom - before[i].top), a.dh) << a.id;
  }
  EXPECT_EQ(limits.ptMinTrackSize.x, window.right - window.left);
  EXPECT_EQ(limits.ptMinTrackSize.y, window.bottom - window.top);
}

TEST_F(CommandDialog, RefreshStartsTheToolInCommandModeAndCloses) {
  // The context's executable is the recorder, so the restart is recorded.
  ASSERT_TRUE(RunDialog(fixture,
                        {Do([](HWND dialog) { PostClicked(dialog, IDC_COMMAND_REFRESH); }), [](HWND) { return false; }},
                        8000) == false);
  // The dialog ended by itself (the driver did not time out) ...
  std::vector<Record> records = fixture.recordFile.WaitFor(1, 5000);
  ASSERT_EQ(records.size(), 1u);
  // Marked: a copy that was refused full rights does not ask again.
  EXPECT_EQ(records[0].Text("command_line"), L" c+") << records[0].line();
}

// A failed start with full rights is reported once the dialog is on the
// screen: a warning box owned by the dialog, with the code and the system's
// text and nothing else.
TEST_F(CommandDialog, StartWarningIsShownOverTheOpenDialog) {
  fixture.dialog.WarnWhenOpen(1223);
  std::wstring boxText;
  bool ownedByDialog = false;
  bool dialogVisible = false;
  ASSERT_TRUE(RunDialog(fixture, {[&](HWND dialog) {
                                    HWND box = FindThreadMessageBox();
                                    if (box == nullptr) return false;
                                    ownedByDialog = GetWindow(box, GW_OWNER) == dialog;
                                    dialogVisible = IsWindowVisible(dialog) != FALSE;
                                    return true;
                                  },
                                  tvn_test::AnswerMessageBox(&boxText), tvn_test::NoMessageBox()}));
  EXPECT_TRUE(ownedByDialog);
  EXPECT_TRUE(dialogVisible);
  wchar_t system[256] = {};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, 1223, 0x400, system, 256,
                 nullptr);
  EXPECT_EQ(boxText, std::wstring(L"Error (1223): ") + system) << Utf8(boxText);
}

TEST_F(CommandDialog, AuthorizationThatCannotStartWarnsAndTheDialogStays) {
  fixture.context.exePath.Set(T(tvn_test::TempDir() + L"tvn_no_such_copy.exe"));
  std::wstring boxText;
  bool dialogAlive = false;
  ASSERT_TRUE(RunDialog(fixture, {Do([](HWND dialog) { PostClicked(dialog, IDC_COMMAND_AUTHORIZATION); }),
                                  tvn_test::AnswerMessageBox(&boxText), tvn_test::NoMessageBox(),
                                  Do([&](HWND dialog) { dialogAlive = IsWindowVisible(dialog) != FALSE; })}));
  EXPECT_EQ(boxText.rfind(L"Error (2): ", 0), 0u) << Utf8(boxText);
  EXPECT_TRUE(dialogAlive);
  EXPECT_TRUE(fixture.Records().empty());
}

// A command dialog made without a modal loop, destroyed at the end of the scope.
class OpenCommandDialog {
 public:
  explicit OpenCommandDialog(tvn::CommandDialog& dialog)
      : window_(dialog.CreateModeless(GetModuleHandleW(nullptr), IDD_COMMAND, nullptr)) {}
  HWND get() const { return window_.get(); }

 private:
  tvn::UniqueWindow window_;
};

void TypeCommand(HWND dialog, const wchar_t* text) {
  SetFocus(Item(dialog, IDC_COMMAND_LINE));
  SetDlgItemTextW(dialog, IDC_COMMAND_LINE, text);
}

int ListCount(HWND dialog) {
  return static_cast<int>(SendMessageW(Item(dialog, IDC_COMMAND_LIST), LVM_GETITEMCOUNT, 0, 0));
}

TEST_F(CommandDialog, TwoDialogsOpenAtOnceKeepTheirOwnState) {
  Fixture other;
  other.description.list.rows.resize(2);
  other.description.list.count = 2;
  OpenCommandDialog first(fixture.dialog);
  OpenCommandDialog second(other.dialog);
  ASSERT_NE(first.get(), nullptr);
  ASSERT_NE(second.get(), nullptr);
  EXPECT_EQ(ListCount(first.get()), 6);
  EXPECT_EQ(ListCount(second.get()), 2);

  TypeCommand(first.get(), L"first command");
  EXPECT_EQ(fixture.dialog.commandReady(), 1);
  EXPECT_EQ(other.dialog.commandReady(), 0);
  TypeCommand(second.get(), L"second command");
  EXPECT_EQ(other.dialog.commandReady(), 1);
  EXPECT_EQ(fixture.dialog.currentCommand(), T(L"first command"));
  EXPECT_EQ(other.dialog.currentCommand(), T(L"second command"));

  // Emptying one command line leaves the other dialog's command as it was.
  TypeCommand(second.get(), L"");
  EXPECT_EQ(other.dialog.commandReady(), 0);
  EXPECT_FALSE(ExecuteEnabled(second.get()));
  EXPECT_TRUE(other.dialog.currentCommand().empty());
  EXPECT_EQ(fixture.dialog.currentCommand(), T(L"first command"));
}

TEST_F(ShellMenu, ControlPanelRootListsItsItemsWithContextMenus) {
  std::vector<std::wstring> texts;
  std::vector<MENUITEMINFOW> items;
  int contextItems = -1;
  bool activeAfter = true;
  int lastKeyAfter = -1;
  ASSERT_TRUE(RunDialog(fixture, {Do([](HWND dialog) { PostListNotify(dialog, NM_DBLCLK, ListItemOfRow(dialog, 2)); }),
                                  [&](HWND) {
                                    HWND popup = PopupWindow();
                                    if (popup == nullptr) return false;
                                    auto menu = reinterpret_cast<HMENU>(SendMessageW(popup, kGetMenuHandle, 0, 0));
                                    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
                                      items.push_back(MenuItem(menu, static_cast<UINT>(i)));
                                      texts.push_back(MenuText(menu, static_cast<UINT>(i)));
                                    }
                                    PostKey(popup,
                                            VK_DOWN);  // rests on the first item: WM_MENUSELECT fills its submenu
                                    return true;
                                  },
                                  Pause(500),
                                  [&](HWND) {
                                    if (!items.empty()) contextItems = GetMenuItemCount(items[0].hSubMenu);
                                    EndMenu();
                                    return true;
                                  },
                                  [](HWND) { return PopupWindow() == nullptr; }, Pause(100), Do([&](HWND) {
                                    activeAfter = fixture.dialog.menus().shell().active();
                                    lastKeyAfter = fixture.dialog.menus().shell().lastKey();
                                  })}));
  ASSERT_EQ(items.size(), 4u) << "Wine 10's Control Panel holds four applets";
  for (std::size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].wID, 5000u);
    EXPECT_NE(items[i].hSubMenu, nullptr);
    EXPECT_EQ(items[i].dwItemData, i + 2) << "keys follow the enumeration; the root is key 1";
    EXPECT_EQ(texts[i], L"<NOT SUPPORTED>") << "Wine names them in the narrow form";
  }
  EXPECT_GT(contextItems, 0) << "resting on an applet shows its context menu";
  EXPECT_FALSE(activeAfter);
  EXPECT_EQ(lastKeyAfter, 0);
}

TEST_F(ShellMenu, PrintersAndRowsWithoutMenusOpenNothingAndReportNothing) {
  bool printers = false, beyond = false, noMenu = false;
  DWORD printersError = 1;
  bool popupSeen = false, boxSeen = false;
  const DWORD started = GetTickCount();
  ASSERT_TRUE(RunDialog(fixture, {Do([&](HWND dialog) {
                                    printers = fixture.dialog.menus().Open(2, 2);  // EnumObjects: E_NOTIMPL
                                    printersError = GetLastError();
                                    beyond = fixture.dialog.menus().Open(4, 1);  // number equal to the count
                                    noMenu = fixture.dialog.menus().Open(0, 0) && fixture.dialog.menus().Open(-1, 1) &&
                                             fixture.dialog.menus().Open(0, 3);
                                    // The same through the list: a right click on the Printers row.
                                    PostListNotify(dialog, NM_RCLICK, ListItemOfRow(dialog, 3));
                                  }),
                                  [&, start = DWORD(0)](HWND) mutable {
                                    if (start == 0) start = GetTickCount() | 1;
                                    popupSeen = popupSeen || PopupWindow() != nullptr;
                                    boxSeen = boxSeen || FindThreadMessageBox() != nullptr;
                                    return static_cast<LONG>(GetTickCount() - start) >=
                                           1500;  // watch for a while (start may be one ahead)
                                  }}));
  EXPECT_TRUE(printers);
  EXPECT_EQ(printersError, 0u);
  EXPECT_TRUE(beyond);
  EXPECT_TRUE(noMenu);
  EXPECT_GE(GetTickCount() - started, 1500u) << "watched long enough";
  EXPECT_FALSE(popupSeen);
  EXPECT_FALSE(boxSeen);
  EXPECT_FALSE(fixture.dialog.menus().shell().active());
}

TEST_F(ShellMenu, NetworkConnectionsRootFailsAndIsReported) {
  bool network = true;
  DWORD error = 0;
  std::wstring boxText;
  ASSERT_TRUE(RunDialog(fixture, {Do([&](HWND dialog) {
                                    network = fixture.dialog.menus().Open(3, 2);
                                    error = GetLastError();
                                    PostListNotify(dialog, NM_RCLICK, ListItemOfRow(dialog, 4));
                                  }),
                                  tvn_test::AnswerMessageBox(&boxText), tvn_test::NoMessageBox()}));
  EXPECT_FALSE(network);
  EXPECT_NE(error, 0u);
  EXPECT_EQ(boxText.rfind(L"Error (", 0), 0u) << Utf8(boxText);
  EXPECT_FALSE(fixture.dialog.menus().shell().active());
}

}  // namespace
