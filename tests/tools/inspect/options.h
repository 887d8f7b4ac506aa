// The inspector's command line: what to select, how long to wait for it, and
// the one action to run on it.
#pragma once

#include <windows.h>

#include <string>

namespace tvn_inspect {

enum class Action { None, Close, Click, SetText, SetCheck, Focus, LvSelect, LvDblClick, LvRClick };

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
  unsigned long long number = 0;  // check state or item index
};

// Decimal or 0x-hex, no sign, nothing after the digits, at most `max`.
bool ParseUnsigned(const wchar_t* text, unsigned long long max, unsigned long long* out);
// The usage text on stderr, after `message` and the argument it is about.
void Usage(const wchar_t* message, const wchar_t* argument);
// False (after the usage text) for arguments that select nothing or do not parse.
bool ParseArguments(int argc, wchar_t** argv, Options* o);

}  // namespace tvn_inspect
