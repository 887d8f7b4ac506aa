#include "tests/tools/inspect/options.h"

#include <cstdint>
#include <cstdio>

namespace tvn_inspect {

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
    if (digit > max || value > (max - digit) / static_cast<unsigned>(base)) return false;
    value = value * static_cast<unsigned>(base) + digit;
  }
  *out = value;
  return true;
}

namespace {

bool ParseControlId(const wchar_t* text, int* out) {
  bool negative = text[0] == L'-';
  unsigned long long value = 0;
  if (!ParseUnsigned(negative ? text + 1 : text, negative ? 0x80000000ull : 0xFFFFFFFFull, &value)) return false;
  // Ids above 0x7FFFFFFF are the same 32-bit values as the negative ones.
  *out =
      negative ? static_cast<int>(-static_cast<long long>(value)) : static_cast<int>(static_cast<std::uint32_t>(value));
  return true;
}

}  // namespace

void Usage(const wchar_t* message, const wchar_t* argument) {
  std::fwprintf(stderr, L"tvn_inspect: %ls%ls%ls\n", message, argument ? L": " : L"", argument ? argument : L"");
  std::fwprintf(stderr,
                L"usage: tvn_inspect.exe (--pid N | --title TEXT | --class NAME | --all | --menus | --hwnd 0xHEX)...\n"
                L"       [--hidden] [--wait MS] [--close | --click ID | --set-text ID TEXT | --set-check ID STATE |\n"
                L"        --focus ID | --lv-select ID INDEX | --lv-dblclick ID INDEX | --lv-rclick ID INDEX]\n");
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
    } else if (arg == L"--lv-select" || arg == L"--lv-dblclick" || arg == L"--lv-rclick") {
      bool ok = arg == L"--lv-select"     ? set_action(Action::LvSelect, "lv-select")
                : arg == L"--lv-dblclick" ? set_action(Action::LvDblClick, "lv-dblclick")
                                          : set_action(Action::LvRClick, "lv-rclick");
      if (!ok) return Usage(L"only one action at a time", nullptr), false;
      if (!need(2) || !ParseControlId(argv[i + 1], &o->controlId)) return Usage(L"bad control id", nullptr), false;
      if (!ParseUnsigned(argv[i + 2], 0x7FFFFFFFull, &o->number)) return Usage(L"bad number", argv[i + 2]), false;
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

}  // namespace tvn_inspect
