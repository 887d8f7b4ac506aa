// The executable's resources as the program finds them at run time: the four
// dialog templates created for real, the description script, the icon group,
// the manifest and the version block. The test program carries the same
// resources as TVN.exe.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/win/unique_handle.h"
#include "resource.h"
#include "tests/wine/support/windows.h"

namespace {

HMODULE Self() { return GetModuleHandleW(nullptr); }

// One control as its template declares it: the full style and x, y, width,
// height in dialog units.
struct ControlSpec {
  int id;
  const wchar_t* className;
  DWORD style;
  RECT dlu;
};

struct DialogSpec {
  int id;
  DWORD style;
  DWORD exStyle;
  SIZE dlu;
  std::vector<ControlSpec> controls;  // in template order
};

constexpr DWORD kShown = WS_CHILD | WS_VISIBLE;
constexpr DWORD kIcon = kShown | SS_ICON;
constexpr DWORD kLabel = kShown | SS_LEFT | SS_CENTERIMAGE;
constexpr DWORD kLine = kShown | SS_ETCHEDHORZ;
constexpr DWORD kReadOnlyText = kShown | ES_MULTILINE | ES_READONLY;
constexpr DWORD kDropDown = kShown | CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD kCheck = BS_AUTOCHECKBOX | BS_LEFT | BS_VCENTER;
constexpr DWORD kPush = kShown | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER;
constexpr DWORD kDefault = kShown | BS_DEFPUSHBUTTON | BS_CENTER | BS_VCENTER;
constexpr DWORD kNotifying = BS_MULTILINE | BS_NOTIFY | WS_TABSTOP;

const wchar_t kStatic[] = L"Static";
const wchar_t kEdit[] = L"Edit";
const wchar_t kButton[] = L"Button";
const wchar_t kCombo[] = L"ComboBox";
const wchar_t kList[] = L"SysListView32";

const std::vector<DialogSpec>& Dialogs() {
  static const std::vector<DialogSpec> dialogs = {
      {IDD_LOGON,
       WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_CENTER | DS_SETFONT,
       0,
       {268, 206},
       {
           {IDC_LOGON_ICON, kStatic, kIcon, {3, 6, 20, 20}},
           {IDC_LOGON_INFO, kEdit, kReadOnlyText, {30, 3, 222, 27}},
           {IDC_LOGON_DOMAIN_ICON, kStatic, kIcon, {3, 39, 20, 20}},
           {IDC_LOGON_DOMAIN_LABEL, kStatic, kLabel, {30, 45, 90, 12}},
           {IDC_LOGON_DOMAIN, kCombo, kDropDown, {123, 45, 141, 90}},
           {IDC_LOGON_USER_ICON, kStatic, kIcon, {3, 66, 20, 20}},
           {IDC_LOGON_USER_LABEL, kStatic, kLabel, {30, 72, 90, 12}},
           {IDC_LOGON_USER, kCombo, kDropDown, {123, 72, 141, 90}},
           {IDC_LOGON_PASSWORD_ICON, kStatic, kIcon, {3, 93, 20, 20}},
           {IDC_LOGON_PASSWORD_LABEL, kStatic, kLabel, {30, 99, 90, 12}},
           {IDC_LOGON_PASSWORD,
            kEdit,
            kShown | WS_BORDER | WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL,
            {123, 99, 141, 12}},
           {IDC_LOGON_IGNORE_UAC, kButton, WS_CHILD | kCheck, {30, 126, 234, 12}},
           {IDC_LOGON_LOAD_PROFILE, kButton, kShown | kCheck | WS_TABSTOP, {30, 138, 234, 12}},
           {IDC_LOGON_CURRENT_CREDENTIALS, kButton, kShown | kCheck | WS_TABSTOP, {30, 150, 234, 12}},
           {IDC_LOGON_SEPARATOR, kStatic, kLine, {3, 177, 261, 1}},
           {IDC_LOGON_LOGON, kButton, kDefault | WS_TABSTOP, {147, 183, 57, 18}},
           {IDC_LOGON_CLOSE, kButton, kPush | WS_TABSTOP, {207, 183, 57, 18}},
           {IDC_LOGON_HELP, kButton, kPush, {255, 3, 11, 9}},
       }},
      {IDD_COMMAND,
       WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | DS_SETFONT,
       0,
       {312, 286},
       {
           {IDC_COMMAND_ICON, kStatic, kIcon, {3, 6, 20, 20}},
           {IDC_COMMAND_INFO, kEdit, kReadOnlyText, {30, 3, 237, 27}},
           {IDC_COMMAND_LIST,
            kList,
            kShown | WS_BORDER | WS_TABSTOP | LVS_ICON | LVS_SINGLESEL | LVS_SORTASCENDING | LVS_AUTOARRANGE,
            {3, 36, 306, 159}},
           {IDC_COMMAND_LINE, kEdit, kShown | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, {3, 201, 258, 15}},
           {IDC_COMMAND_BROWSE, kButton, kPush | kNotifying, {267, 201, 42, 15}},
           {IDC_COMMAND_SUPPORT_FILTERS, kButton, WS_CHILD | kCheck | BS_NOTIFY, {3, 225, 306, 10}},
           {IDC_COMMAND_START_HIDDEN, kButton, kShown | kCheck | BS_NOTIFY | WS_TABSTOP, {3, 237, 306, 10}},
           {IDC_COMMAND_SEPARATOR, kStatic, kLine, {3, 258, 306, 1}},
           {IDC_COMMAND_EXECUTE, kButton, kDefault | kNotifying, {192, 264, 57, 18}},
           {IDC_COMMAND_REFRESH, kButton, kPush | kNotifying, {3, 264, 57, 18}},
           {IDC_COMMAND_AUTHORIZATION, kButton, kPush | kNotifying, {63, 264, 57, 18}},
           {IDC_COMMAND_CLOSE, kButton, kPush | kNotifying, {252, 264, 57, 18}},
           {IDC_COMMAND_HELP, kButton, kPush, {300, 3, 11, 9}},
       }},
      {IDD_SPLASH,
       0x80C00AC0,
       WS_EX_TOOLWINDOW,
       {169, 33},
       {
           {IDC_SPLASH_ICON, kStatic, 0x50000003, {6, 7, 20, 20}},
           {IDC_SPLASH_TEXT, kStatic, 0x50000200, {33, 3, 132, 24}},
       }},
      {IDD_HELP,
       WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX | DS_CENTER | DS_SETFONT,
       0,
       {255, 150},
       {
           {IDC_HELP_ICON, kStatic, kIcon, {3, 3, 20, 20}},
           {IDC_HELP_ABOUT, kEdit, kReadOnlyText, {27, 3, 222, 42}},
           {IDC_HELP_UPPER_SEPARATOR, kStatic, kLine, {3, 48, 249, 1}},
           {IDC_HELP_DISCLAIMER, kEdit, kReadOnlyText | ES_AUTOVSCROLL | WS_VSCROLL, {3, 51, 246, 69}},
           {IDC_HELP_LOWER_SEPARATOR, kStatic, kLine, {3, 123, 249, 1}},
           {IDC_HELP_CLOSE, kButton, kDefault | WS_TABSTOP, {195, 129, 57, 18}},
           {IDC_HELP_DIAGNOSTICS, kButton, kPush | WS_TABSTOP, {3, 129, 57, 18}},
       }},
  };
  return dialogs;
}

// A DLGTEMPLATEEX as the resource compiler stored it.
struct StoredItem {
  DWORD style = 0;
  DWORD exStyle = 0;
  RECT dlu = {};
  int id = 0;
  std::wstring className;
  std::wstring title;
};

struct StoredTemplate {
  DWORD style = 0;
  DWORD exStyle = 0;
  SIZE dlu = {};
  std::wstring menu, className, title, face;
  WORD pointSize = 0;
  std::vector<StoredItem> items;
};

class TemplateReader {
 public:
  TemplateReader(const BYTE* data, DWORD size) : base_(data), at_(data), end_(data + size) {}

  // False when the data is not an extended template or ends too early.
  bool Read(StoredTemplate& out) {
    const WORD version = Get<WORD>();
    const WORD signature = Get<WORD>();
    if (version != 1 || signature != 0xFFFF) return false;
    Get<DWORD>();  // help id
    out.exStyle = Get<DWORD>();
    out.style = Get<DWORD>();
    const WORD count = Get<WORD>();
    Get<short>();
    Get<short>();
    out.dlu.cx = Get<short>();
    out.dlu.cy = Get<short>();
    out.menu = NameOrOrdinal();
    out.className = NameOrOrdinal();
    out.title = String();
    if (out.style & DS_SETFONT) {
      out.pointSize = Get<WORD>();
      Get<WORD>();  // weight
      Get<BYTE>();  // italic
      Get<BYTE>();  // character set
      out.face = String();
    }
    for (WORD i = 0; i < count && ok_; ++i) {
      Align();
      StoredItem item;
      Get<DWORD>();  // help id
      item.exStyle = Get<DWORD>();
      item.style = Get<DWORD>();
      item.dlu.left = Get<short>();
      item.dlu.top = Get<short>();
      item.dlu.right = Get<short>();
      item.dlu.bottom = Get<short>();
      item.id = static_cast<int>(Get<DWORD>());
      item.className = NameOrOrdinal();
      item.title = NameOrOrdinal();
      at_ += Get<WORD>();  // creation data
      out.items.push_back(item);
    }
    return ok_ && at_ <= end_;
  }

 private:
  template <typename T>
  T Get() {
    T value{};
    if (!ok_ || end_ - at_ < static_cast<std::ptrdiff_t>(sizeof(T))) {
      ok_ = false;
      return value;
    }
    std::memcpy(&value, at_, sizeof(T));
    at_ += sizeof(T);
    return value;
  }
  std::wstring String() {
    std::wstring text;
    for (WORD c = Get<WORD>(); ok_ && c != 0; c = Get<WORD>()) text += static_cast<wchar_t>(c);
    return text;
  }
  // A name, or 0xFFFF and an ordinal; the predefined control classes by name.
  std::wstring NameOrOrdinal() {
    if (end_ - at_ >= 2 && at_[0] == 0xFF && at_[1] == 0xFF) {
      Get<WORD>();
      const WORD ordinal = Get<WORD>();
      static const wchar_t* const kClasses[] = {L"Button", L"Edit", L"Static", L"ListBox", L"ScrollBar", L"ComboBox"};
      if (ordinal >= 0x80 && ordinal <= 0x85) return kClasses[ordinal - 0x80];
      return L"#" + std::to_wstring(ordinal);
    }
    return String();
  }
  void Align() {
    while ((at_ - base_) % 4 != 0) ++at_;
  }

  const BYTE* base_;
  const BYTE* at_;
  const BYTE* end_;
  bool ok_ = true;
};

bool SameName(const std::wstring& a, const wchar_t* b) { return lstrcmpiW(a.c_str(), b) == 0; }

INT_PTR CALLBACK PassiveDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// x, y, width and height in dialog units to pixels, each mapped on its own as
// the dialog manager does.
RECT ToPixels(HWND dialog, const RECT& dlu) {
  RECT r = dlu;
  MapDialogRect(dialog, &r);
  return r;
}

// A control's window rectangle relative to the dialog's client area, as
// x, y, width, height.
RECT PlacementOf(HWND control) {
  const RECT r = tvn_test::RectInParent(control);
  return RECT{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// Edit controls and list views may trade WS_BORDER for WS_EX_CLIENTEDGE.
bool HasBorder(HWND control) {
  return (GetWindowLongW(control, GWL_STYLE) & WS_BORDER) != 0 ||
         (GetWindowLongW(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0;
}

DWORD TypeMask(const std::wstring& className) {
  if (className == kStatic) return SS_TYPEMASK;
  if (className == kButton) return BS_TYPEMASK;
  if (className == kCombo) return CBS_SIMPLE | CBS_DROPDOWN | CBS_DROPDOWNLIST;
  if (className == kList) return LVS_TYPEMASK;
  return 0;
}

class Resources : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX init = {sizeof(init), ICC_LISTVIEW_CLASSES};
    ASSERT_TRUE(InitCommonControlsEx(&init));
  }
};

TEST_F(Resources, StoredTemplatesMatchTheirTables) {
  for (const DialogSpec& spec : Dialogs()) {
    SCOPED_TRACE("template " + std::to_string(spec.id));
    HRSRC found = FindResourceW(Self(), MAKEINTRESOURCEW(spec.id), RT_DIALOG);
    ASSERT_NE(found, nullptr);
    StoredTemplate stored;
    TemplateReader reader(static_cast<const BYTE*>(LockResource(LoadResource(Self(), found))),
                          SizeofResource(Self(), found));
    ASSERT_TRUE(reader.Read(stored));

    EXPECT_EQ(stored.style, spec.style) << std::hex << stored.style;
    EXPECT_EQ(stored.exStyle, static_cast<DWORD>(spec.exStyle));
    EXPECT_EQ(stored.dlu.cx, spec.dlu.cx);
    EXPECT_EQ(stored.dlu.cy, spec.dlu.cy);
    EXPECT_EQ(stored.pointSize, 8);
    EXPECT_EQ(stored.face, L"MS Sans Serif");
    EXPECT_EQ(stored.menu + stored.className + stored.title, L"");  // no menu, class or caption

    ASSERT_EQ(stored.items.size(), spec.controls.size());
    for (std::size_t i = 0; i < spec.controls.size(); ++i) {
      const ControlSpec& c = spec.controls[i];
      const StoredItem& item = stored.items[i];
      SCOPED_TRACE("control " + std::to_string(c.id));
      EXPECT_EQ(item.id, c.id);
      EXPECT_TRUE(SameName(item.className, c.className)) << std::string(item.className.begin(), item.className.end());
      EXPECT_EQ(item.style, c.style) << std::hex << item.style;
      EXPECT_EQ(item.exStyle, 0u);
      EXPECT_EQ(item.title, L"");
      EXPECT_EQ(item.dlu.left, c.dlu.left);
      EXPECT_EQ(item.dlu.top, c.dlu.top);
      EXPECT_EQ(item.dlu.right, c.dlu.right);
      EXPECT_EQ(item.dlu.bottom, c.dlu.bottom);
    }
  }
}

TEST_F(Resources, CreatedDialogsMatchTheirTables) {
  if (!tvn_test::HaveDisplay()) GTEST_SKIP() << "needs a display";
  for (const DialogSpec& spec : Dialogs()) {
    SCOPED_TRACE("template " + std::to_string(spec.id));
    const tvn::UniqueWindow created(
        CreateDialogParamW(Self(), MAKEINTRESOURCEW(spec.id), nullptr, PassiveDialogProc, 0));
    HWND dialog = created.get();
    ASSERT_NE(dialog, nullptr) << "error " << GetLastError();

    const DWORD style = static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE));
    EXPECT_EQ(style & spec.style, spec.style) << std::hex << style;
    // Frame, boxes and menus the template does not ask for.
    const DWORD frame = WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CHILD;
    EXPECT_EQ(style & frame & ~spec.style, 0u) << std::hex << style;
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongW(dialog, GWL_EXSTYLE));
    EXPECT_EQ(exStyle & (spec.exStyle | WS_EX_TOOLWINDOW), spec.exStyle) << std::hex << exStyle;

    RECT client;
    GetClientRect(dialog, &client);
    const RECT size = ToPixels(dialog, RECT{0, 0, spec.dlu.cx, spec.dlu.cy});
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    // Children in creation order, which is also the tab order.
    std::vector<int> order;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
      order.push_back(GetDlgCtrlID(child));
    std::vector<int> expectedOrder;
    for (const ControlSpec& c : spec.controls) expectedOrder.push_back(c.id);
    EXPECT_EQ(order, expectedOrder);

    for (const ControlSpec& c : spec.controls) {
      SCOPED_TRACE("control " + std::to_string(c.id));
      HWND control = GetDlgItem(dialog, c.id);
      ASSERT_NE(control, nullptr);
      const std::wstring className = c.className;

      wchar_t actualClass[64] = {};
      GetClassNameW(control, actualClass, 64);
      EXPECT_STREQ(actualClass, c.className);

      // The styles as the live control keeps them. A combo box hands
      // WS_VSCROLL on to its drop-down list, which shows the bar only when the
      // list needs it; the stored template carries it (test above).
      const DWORD live = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
      const DWORD mask = TypeMask(className);
      EXPECT_EQ(live & mask, c.style & mask) << std::hex << live;
      DWORD flags = c.style & ~mask & ~WS_BORDER;
      if (className == kCombo) flags &= ~WS_VSCROLL;
      EXPECT_EQ(live & flags, flags) << std::hex << live;
      EXPECT_EQ(live & (WS_VISIBLE | WS_TABSTOP), c.style & (WS_VISIBLE | WS_TABSTOP)) << std::hex << live;
      EXPECT_EQ(HasBorder(control), (c.style & WS_BORDER) != 0);

      const RECT want = ToPixels(dialog, c.dlu);
      const RECT got = PlacementOf(control);
      EXPECT_EQ(got.left, want.left);
      EXPECT_EQ(got.top, want.top);
      if ((c.style & SS_TYPEMASK) == SS_ETCHEDHORZ && className == kStatic) {
        // An etched line becomes a static edge around an empty client area
        // of the template's width.
        RECT inside;
        GetClientRect(control, &inside);
        EXPECT_EQ(inside.right, want.right);
      } else {
        EXPECT_EQ(got.right, want.right);  // width
        // A combo box's template height is the height of its drop-down list.
        if (className != kCombo) {
          EXPECT_EQ(got.bottom, want.bottom);
        }
      }
    }
  }
}

TEST_F(Resources, ScriptIsLanguageNeutralAndPacked) {
  HRSRC found =
      FindResourceExW(Self(), RT_RCDATA, MAKEINTRESOURCEW(IDR_SCRIPT), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(FindResourceW(Self(), MAKEINTRESOURCEW(IDR_SCRIPT), RT_RCDATA), found);

  // One entry only, so that replacing it with language 0 replaces it.
  std::vector<WORD> languages;
  EnumResourceLanguagesW(
      Self(), RT_RCDATA, MAKEINTRESOURCEW(IDR_SCRIPT),
      [](HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR list) CALLBACK -> BOOL {
        reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&languages));
  EXPECT_EQ(languages, std::vector<WORD>{0});

  const char header[] = "// TVN SCRIPT(compress)\r\n";
  const DWORD size = SizeofResource(Self(), found);
  ASSERT_GT(size, sizeof(header) - 1);
  const char* data = static_cast<const char*>(LockResource(LoadResource(Self(), found)));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::string(data, sizeof(header) - 1), header);
}

TEST_F(Resources, IconGroupHoldsBothSizesWithPalettes) {
  HRSRC group = FindResourceW(Self(), MAKEINTRESOURCEW(IDI_APP), RT_GROUP_ICON);
  ASSERT_NE(group, nullptr);
  const BYTE* dir = static_cast<const BYTE*>(LockResource(LoadResource(Self(), group)));
  ASSERT_NE(dir, nullptr);

  for (int size : {32, 16}) {
    SCOPED_TRACE("size " + std::to_string(size));
    // The entry the system picks for this size must be drawn at exactly it,
    // with 8 bits a pixel (a 256-colour palette).
    const int iconId = LookupIconIdFromDirectoryEx(const_cast<BYTE*>(dir), TRUE, size, size, LR_DEFAULTCOLOR);
    ASSERT_NE(iconId, 0);
    HRSRC image = FindResourceW(Self(), MAKEINTRESOURCEW(iconId), RT_ICON);
    ASSERT_NE(image, nullptr);
    BITMAPINFOHEADER header;
    ASSERT_GE(SizeofResource(Self(), image), sizeof(header));
    std::memcpy(&header, LockResource(LoadResource(Self(), image)), sizeof(header));
    EXPECT_EQ(header.biWidth, size);
    EXPECT_EQ(header.biHeight, 2 * size);  // colour rows and mask rows
    EXPECT_EQ(header.biBitCount, 8);

    const tvn::UniqueIcon icon(
        static_cast<HICON>(LoadImageW(Self(), MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, size, size, 0)));
    ASSERT_TRUE(icon);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon.get(), &info));
    const tvn::UniqueBitmap color(info.hbmColor);
    const tvn::UniqueBitmap mask(info.hbmMask);
    BITMAP bitmap = {};
    GetObjectW(color.get(), sizeof(bitmap), &bitmap);
    EXPECT_EQ(bitmap.bmWidth, size);
    EXPECT_EQ(bitmap.bmHeight, size);
  }
}

TEST_F(Resources, ManifestAsksForCommonControls6AsInvoker) {
  HRSRC found = FindResourceW(Self(), MAKEINTRESOURCEW(1), RT_MANIFEST);
  ASSERT_NE(found, nullptr);
  const char* data = static_cast<const char*>(LockResource(LoadResource(Self(), found)));
  ASSERT_NE(data, nullptr);
  const std::string manifest(data, SizeofResource(Self(), found));
  EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
}

// version.dll is not among the program's libraries; the test loads it itself.
class VersionLibrary {
 public:
  using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
  using InfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
  using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

  VersionLibrary() : module_(LoadLibraryW(L"version.dll")) {
    if (!module_) return;
    size = Get<SizeFn>("GetFileVersionInfoSizeW");
    info = Get<InfoFn>("GetFileVersionInfoW");
    query = Get<QueryFn>("VerQueryValueW");
  }
  VersionLibrary(const VersionLibrary&) = delete;
  VersionLibrary& operator=(const VersionLibrary&) = delete;

  SizeFn size = nullptr;
  InfoFn info = nullptr;
  QueryFn query = nullptr;

 private:
  template <typename Fn>
  Fn Get(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module_.get(), name)));
  }
  tvn::UniqueModule module_;
};

TEST_F(Resources, VersionBlockReadsBack) {
  VersionLibrary version;
  ASSERT_TRUE(version.size && version.info && version.query);
  wchar_t path[MAX_PATH];
  ASSERT_NE(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
  DWORD ignored = 0;
  const DWORD size = version.size(path, &ignored);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> block(size);
  ASSERT_TRUE(version.info(path, 0, size, block.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(version.query(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00030001u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00010005u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00030000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);

  DWORD* translation = nullptr;
  ASSERT_TRUE(
      version.query(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
  ASSERT_GE(length, sizeof(DWORD));
  EXPECT_EQ(*translation, MAKELONG(0x409, 1200));

  const struct {
    const wchar_t* name;
    const wchar_t* value;
  } strings[] = {
      {L"FileVersion", L"3.1.1.5"},
      {L"ProductVersion", L"3.0.0.0"},
      {L"OriginalFilename", L"TVN.exe"},
      {L"InternalName", L"TVN"},
      {L"ProductName", L"Tolvane"},
      {L"FileDescription", L"Execute command or programs under a administrator account"},
  };
  for (const auto& s : strings) {
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + s.name;
    wchar_t* value = nullptr;
    ASSERT_TRUE(version.query(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)) << s.name;
    EXPECT_STREQ(value, s.value);
  }
}

}  // namespace
