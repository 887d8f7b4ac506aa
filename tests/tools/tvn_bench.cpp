// tvn_bench.exe: start-up figures of TVN.exe, measured from inside Wine,
// side by side with the floors they are judged against.
//
//   tvn_bench.exe TVN_EXE [ROUNDS] [MORE_EXE...]
//
// ROUNDS times (default 5), interleaved so that the load of the machine
// falls on all of them alike, each round after a pause in which the previous
// round's runs wind down:
//   - tvn_trivial.exe (next to this program): start to exit, the floor of any
//     start;
//   - tvn_imports_floor.exe (next to this program): start to exit of a
//     program that imports TVN.exe's libraries under its manifest and
//     initialises COM and the common controls, the floor of any start of
//     TVN.exe;
//   - TVN_EXE's extract mode, start to exit (it extracts the script that the
//     bare runs below use), before or after the imports floor by turns;
//   - tvn_bare_dialog.exe with TVN_EXE's log-on and command templates: start
//     until the dialog is visible, and its peak working set;
//   - TVN_EXE (log-on mode, then " c+", the command mode without the hand-over
//     to an elevated copy): start until the dialog is shown and
//     populated (caption set, the described controls filled), its peak
//     working set; then the dialog is closed and the end (clean-up included)
//     waited for;
//   - the same describing and clean-up script runs done directly (cmd /c
//     cscript ... d1|d2|f <id>, hidden, waited for).
// Then ROUNDS times a Refresh of the command dialog (until the new copy's
// dialog is populated) and a Log on with the current credentials (until the
// command dialog is populated).
// The children run with TVN_TRACE=1: the phases they write to TVN_trace.log
// (in the temporary directory) are read back and printed as the median time
// of each phase after the start, so that the in-process split is printed
// beside the totals.
// Prints one "name value" line per figure: medians in milliseconds, sizes
// and working sets in bytes, ratios; "*_tool_adds_ms" is the tool's start
// minus the bare describing run minus the trivial program's start to exit;
// "*_over_bare_dialog_ms" the same with the bare dialog program's start to
// visible in place of the trivial program's, "*_over_imports_floor_ms" with
// the imports floor's start to exit. Sizes of TVN_EXE and of every MORE_EXE
// (named by their folder and file name) are printed at the end.
// Exit code 0 on success, 1 when a program could not be started or a dialog
// did not appear within 60 s.
#include <windows.h>

#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "base/win/unique_handle.h"
#include "resources/resource.h"

namespace {

const wchar_t kLogonCaption[] = L"TVN3: \x0410\x0432\x0442\x043e\x0440\x0438\x0437\x0430\x0446\x0438\x044f";
const wchar_t kCommandCaption[] = L"TVN3: \x041a\x043e\x043c\x0430\x043d\x0434\x044b";
const wchar_t kBareCaption[] = L"tvn_bare_dialog";
constexpr double kTimeoutMs = 60000;
// Where TVN.exe keeps its script: raw data (type 10), resource IDR_SCRIPT.
constexpr int kScriptType = 10;
constexpr int kScriptId = IDR_SCRIPT;

double NowMs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\') + 1); }

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return Folder(path);
}

std::wstring TempFolder() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  return temp;
}

// What a dialog must show to count as populated.
enum class Populated { Visible, LogonLabel, CommandRows };

struct Search {
  DWORD onlyPid;     // 0: any process
  DWORD excludePid;  // 0: none
  const wchar_t* caption;
  Populated check;
  HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM parameter) {
  Search* search = reinterpret_cast<Search*>(parameter);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if ((search->onlyPid != 0 && pid != search->onlyPid) || pid == search->excludePid || !IsWindowVisible(window))
    return TRUE;
  wchar_t title[256] = {};
  GetWindowTextW(window, title, 256);
  if (wcscmp(title, search->caption) != 0) return TRUE;
  if (search->check == Populated::CommandRows) {
    HWND list = GetDlgItem(window, IDC_COMMAND_LIST);
    DWORD_PTR rows = 0;
    if (!list || !SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 500, &rows) || rows == 0)
      return TRUE;
  } else if (search->check == Populated::LogonLabel) {
    HWND label = GetDlgItem(window, IDC_LOGON_DOMAIN_LABEL);
    if (!label || GetWindowTextLengthW(label) == 0) return TRUE;
  }
  search->found = window;
  return FALSE;
}

// Polls every 2 ms for the dialog; null after a minute.
HWND WaitDialog(DWORD onlyPid, DWORD excludePid, const wchar_t* caption, Populated check, double start) {
  for (;;) {
    Search search = {onlyPid, excludePid, caption, check, nullptr};
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    if (NowMs() - start > kTimeoutMs) return nullptr;
    Sleep(2);
  }
}

struct Child {
  PROCESS_INFORMATION info = {};
  tvn::UniqueHandleKernel process;
  tvn::UniqueHandleKernel thread;
  double started = 0;
  bool Start(std::wstring line, DWORD flags = 0) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    started = NowMs();
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup, &info)) {
      return false;
    }
    process.reset(info.hProcess);
    thread.reset(info.hThread);
    return true;
  }
  double WaitEnd() {
    WaitForSingleObject(info.hProcess, 120000);
    return NowMs() - started;
  }
  double PeakWorkingSet() const {
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof(memory);
    return GetProcessMemoryInfo(info.hProcess, &memory, sizeof(memory)) ? static_cast<double>(memory.PeakWorkingSetSize)
                                                                        : 0;
  }
};

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// Closes a dialog and waits for its process to end.
void CloseAndWait(HWND dialog) {
  DWORD pid = 0;
  GetWindowThreadProcessId(dialog, &pid);
  const tvn::UniqueHandleKernel process(OpenProcess(SYNCHRONIZE, FALSE, pid));
  PostMessageW(dialog, WM_CLOSE, 0, 0);
  if (process) WaitForSingleObject(process.get(), 120000);
}

// Medians per figure name.
struct Figures {
  std::map<std::string, std::vector<double>> values;
  void Add(const std::string& name, double value) { values[name].push_back(value); }
  double operator[](const std::string& name) const {
    auto found = values.find(name);
    return found == values.end() ? 0 : Median(found->second);
  }
};

// The trace lines of one process: phase name to microseconds (first line of each).
struct TraceLine {
  double ms;
  std::string phase;
};
using Lines = std::vector<TraceLine>;

// The trace's lines by process identifier, in file order. The platform
// reuses identifiers soon: one identifier's lines may be several processes'.
std::map<DWORD, Lines> ReadTrace(const std::wstring& path) {
  std::map<DWORD, Lines> byProcess;
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (!file) return byProcess;
  char line[256];
  while (std::fgets(line, sizeof(line), file)) {
    unsigned long long micro = 0;
    unsigned long pid = 0;
    char phase[96] = {};
    if (std::sscanf(line, "%llu %lu %95s", &micro, &pid, phase) == 3)
      byProcess[pid].push_back({static_cast<double>(micro) / 1000.0, phase});
  }
  std::fclose(file);
  return byProcess;
}

// Time of each main-thread phase after the start, for the split.
const char* const kSplitPhases[] = {
    "entry",          "describe-run-started", "describe-run-ended", "description-loaded", "splash-closed",
    "dialog-created", "dialog-initialised",   "dialog-shown",       "splash-started",     "splash-shown"};

struct Started {
  DWORD pid;
  double startMs;
  std::string mode;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tvn_bench.exe TVN_EXE [ROUNDS] [MORE_EXE...]\n");
    return 2;
  }
  const std::wstring exe = argv[1];
  const int rounds = argc > 2 ? std::max(1, _wtoi(argv[2])) : 5;
  const std::wstring tools = OwnFolder();
  const std::wstring trivial = Quoted(tools + L"tvn_trivial.exe");
  const std::wstring importsFloor = Quoted(tools + L"tvn_imports_floor.exe");
  const std::wstring bare = Quoted(tools + L"tvn_bare_dialog.exe");
  const std::wstring temp = TempFolder();
  const std::wstring tracePath = temp + L"TVN_trace.log";
  const std::wstring script = temp + L"tvn_bench.script";
  wchar_t comspec[MAX_PATH] = {};
  GetEnvironmentVariableW(L"COMSPEC", comspec, MAX_PATH);
  SetEnvironmentVariableW(L"TVN_TRACE", L"1");
  DeleteFileW(tracePath.c_str());

  Figures figures;
  std::vector<Started> traced;
  auto scriptRun = [&](const wchar_t* word, int round) {
    Child child;
    const std::wstring line = Quoted(comspec) + L" /c cscript /nologo /e:javascript " + Quoted(script) + L" " + word +
                              L" " + std::to_wstring(990000 + round);
    if (!child.Start(line, CREATE_NO_WINDOW)) return -1.0;
    return child.WaitEnd();
  };

  for (int round = 0; round < rounds; ++round) {
    // The previous round's script runs leave their consoles and helpers
    // winding down after the waited-for interpreter has ended.
    Sleep(1500);
    {
      Child child;
      if (!child.Start(trivial)) return 1;
      figures.Add("trivial_start_to_exit_ms", child.WaitEnd());
    }
    // The imports floor and the extract mode swap places every round: the
    // first program after the pause to use the display pays more.
    for (int turn = 0; turn < 2; ++turn) {
      if ((turn + round) % 2 == 0) {
        Child child;
        if (!child.Start(importsFloor)) return 1;
        figures.Add("imports_floor_start_to_exit_ms", child.WaitEnd());
      } else {
        // It extracts the script that the bare runs use.
        Child child;
        if (!child.Start(Quoted(exe) + L" e " + Quoted(script) + L" \"" + std::to_wstring(kScriptType) + L"\" \"" +
                         std::to_wstring(kScriptId) + L"\""))
          return 1;
        figures.Add("extract_mode_start_to_exit_ms", child.WaitEnd());
        traced.push_back({child.info.dwProcessId, child.started, "extract"});
      }
    }
    for (const char* mode : {"logon", "command"}) {
      const bool logon = std::string(mode) == "logon";
      {
        Child child;
        if (!child.Start(bare + L" " + Quoted(exe) + (logon ? L" 200" : L" 300"))) return 1;
        HWND dialog = WaitDialog(child.info.dwProcessId, 0, kBareCaption, Populated::Visible, child.started);
        if (!dialog) return 1;
        figures.Add(std::string("bare_dialog_") + mode + "_template_visible_ms", NowMs() - child.started);
        Sleep(300);  // painted and settled
        figures.Add(std::string("bare_dialog_") + mode + "_peak_working_set_bytes", child.PeakWorkingSet());
        CloseAndWait(dialog);
      }
      {
        Child child;
        if (!child.Start(Quoted(exe) + (logon ? L"" : L" c+"))) return 1;
        HWND dialog = WaitDialog(child.info.dwProcessId, 0, logon ? kLogonCaption : kCommandCaption,
                                 logon ? Populated::LogonLabel : Populated::CommandRows, child.started);
        if (!dialog) {
          std::printf("%s_error dialog did not appear\n", mode);
          TerminateProcess(child.info.hProcess, 1);
          return 1;
        }
        figures.Add(std::string(mode) + "_dialog_populated_ms", NowMs() - child.started);
        traced.push_back({child.info.dwProcessId, child.started, mode});
        Sleep(300);
        figures.Add(std::string(mode) + "_peak_working_set_bytes", child.PeakWorkingSet());
        CloseAndWait(dialog);
      }
      figures.Add(std::string(mode) + "_bare_describe_run_ms", scriptRun(logon ? L"d1" : L"d2", round));
      figures.Add(std::string(mode) + "_bare_cleanup_run_ms", scriptRun(L"f", round));
    }
  }

  // Hand-overs: Refresh, and Log on with the current credentials.
  for (int round = 0; round < rounds; ++round) {
    Child child;
    if (!child.Start(Quoted(exe) + L" c+")) return 1;
    HWND dialog = WaitDialog(child.info.dwProcessId, 0, kCommandCaption, Populated::CommandRows, child.started);
    if (!dialog) return 1;
    double start = NowMs();
    PostMessageW(GetDlgItem(dialog, IDC_COMMAND_REFRESH), BM_CLICK, 0, 0);
    HWND fresh = WaitDialog(0, child.info.dwProcessId, kCommandCaption, Populated::CommandRows, start);
    if (!fresh) return 1;
    figures.Add("refresh_to_command_dialog_ms", NowMs() - start);
    figures.Add("refresh_old_copy_end_ms", child.WaitEnd() - (start - child.started));
    CloseAndWait(fresh);

    Child logon;
    if (!logon.Start(Quoted(exe))) return 1;
    dialog = WaitDialog(logon.info.dwProcessId, 0, kLogonCaption, Populated::LogonLabel, logon.started);
    if (!dialog) return 1;
    SendMessageW(GetDlgItem(dialog, IDC_LOGON_CURRENT_CREDENTIALS), BM_CLICK, 0, 0);
    start = NowMs();
    PostMessageW(GetDlgItem(dialog, IDC_LOGON_LOGON), BM_CLICK, 0, 0);
    fresh = WaitDialog(0, logon.info.dwProcessId, kCommandCaption, Populated::CommandRows, start);
    if (!fresh) return 1;
    figures.Add("logon_to_command_dialog_ms", NowMs() - start);
    logon.WaitEnd();
    CloseAndWait(fresh);
  }

  // The in-process split of the traced starts.
  // A started process's lines are those of its identifier from the first
  // "entry" after its start up to the next "entry" (a later process that got
  // the same identifier).
  const std::map<DWORD, Lines> trace = ReadTrace(tracePath);
  for (const Started& start : traced) {
    auto found = trace.find(start.pid);
    if (found == trace.end()) continue;
    std::map<std::string, double> phases;
    bool entered = false;
    for (const TraceLine& line : found->second) {
      if (line.ms < start.startMs) continue;
      if (line.phase == "entry") {
        if (entered) break;
        entered = true;
      }
      if (entered) phases.emplace(line.phase, line.ms);
    }
    for (const char* phase : kSplitPhases) {
      auto at = phases.find(phase);
      if (at != phases.end()) figures.Add(start.mode + "_split_" + phase + "_ms", at->second - start.startMs);
    }
  }

  for (const auto& figure : figures.values) {
    const bool bytes = figure.first.find("_bytes") != std::string::npos;
    std::printf(bytes ? "%s %.0f\n" : "%s %.1f\n", figure.first.c_str(), Median(figure.second));
  }
  const double trivialMs = figures["trivial_start_to_exit_ms"];
  const double importsFloorMs = figures["imports_floor_start_to_exit_ms"];
  for (const char* mode : {"logon", "command"}) {
    const std::string m = mode;
    const double shown = figures[m + "_dialog_populated_ms"];
    const double describe = figures[m + "_bare_describe_run_ms"];
    const double bareDialog = figures["bare_dialog_" + m + "_template_visible_ms"];
    std::printf("%s_tool_adds_ms %.1f\n", mode, shown - describe - trivialMs);
    std::printf("%s_over_bare_dialog_ms %.1f\n", mode, shown - describe - bareDialog);
    std::printf("%s_over_imports_floor_ms %.1f\n", mode, shown - describe - importsFloorMs);
    std::printf("%s_ratio_to_describe_and_trivial %.3f\n", mode, shown / (describe + trivialMs));
    std::printf("%s_working_set_over_bare_dialog_bytes %.0f\n", mode,
                figures[m + "_peak_working_set_bytes"] - figures["bare_dialog_" + m + "_peak_working_set_bytes"]);
  }
  std::printf("extract_mode_over_trivial_ms %.1f\n", figures["extract_mode_start_to_exit_ms"] - trivialMs);
  std::printf("extract_mode_ratio_to_trivial %.3f\n", figures["extract_mode_start_to_exit_ms"] / trivialMs);
  std::printf("extract_mode_over_imports_floor_ms %.1f\n", figures["extract_mode_start_to_exit_ms"] - importsFloorMs);
  std::printf("imports_floor_over_trivial_ms %.1f\n", importsFloorMs - trivialMs);

  for (int i = 1; i < argc; ++i) {
    if (i == 2) continue;  // ROUNDS
    WIN32_FILE_ATTRIBUTE_DATA attributes = {};
    if (GetFileAttributesExW(argv[i], GetFileExInfoStandard, &attributes)) {
      // Folder and file ("win32\\TVN.exe"): both builds name theirs TVN.exe.
      std::wstring name = argv[i];
      const std::size_t last = name.find_last_of(L'\\');
      const std::size_t folder =
          last == std::wstring::npos || last == 0 ? std::wstring::npos : name.find_last_of(L'\\', last - 1);
      if (folder != std::wstring::npos) name = name.substr(folder + 1);
      std::printf("size_bytes[%ls] %lu\n", name.c_str(), attributes.nFileSizeLow);
    }
  }
  DeleteFileW(script.c_str());
  return 0;
}
