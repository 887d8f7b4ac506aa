// tvn_bench.exe: start-up timing of TVN.exe, measured from inside Wine.
//
//   tvn_bench.exe TVN_EXE [ROUNDS]
//
// For the log-on mode and the command mode, ROUNDS times each (default 5):
//   - starts TVN.exe (no tail, or " c") and measures the time until its
//     dialog is shown and populated (caption set, the described controls
//     filled: a label text for the log-on dialog, the list's rows for the
//     command dialog); reads the process's peak working set then; closes the
//     dialog and waits for the process to end (the clean-up run included);
//   - runs the same two script runs directly, as the tool does them
//     (cmd /c cscript ... d1|d2 <id>, then ... f <id>, hidden and waited
//     for), on a script extracted from TVN.exe beforehand, and times them.
// The tool's own share of the start-up is the first time minus the second.
// Also times a Refresh cycle of the command dialog (click Refresh, until the
// new copy's dialog is populated) and reports the size of TVN.exe.
// Prints one "name value" line per figure (milliseconds, bytes, ratios).
// Exit code 0 on success, 1 when a dialog did not appear within 60 s.
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "base/win/unique_handle.h"
#include "resources/resource.h"

namespace {

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

struct Found {
  DWORD pid;
  const wchar_t* caption;
  HWND window;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM param) {
  Found* found = reinterpret_cast<Found*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != found->pid || !IsWindowVisible(window)) return TRUE;
  wchar_t title[256] = {};
  GetWindowTextW(window, title, 256);
  if (wcscmp(title, found->caption) == 0) {
    found->window = window;
    return FALSE;
  }
  return TRUE;
}

// The dialog of `pid` with that caption once it is populated, or null.
HWND PopulatedDialog(DWORD pid, const wchar_t* caption, bool commandDialog) {
  Found found = {pid, caption, nullptr};
  EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&found));
  if (!found.window) return nullptr;
  if (commandDialog) {
    HWND list = GetDlgItem(found.window, IDC_COMMAND_LIST);
    LRESULT rows = 0;
    if (!list ||
        !SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 500,
                             reinterpret_cast<PDWORD_PTR>(&rows)) ||
        rows == 0)
      return nullptr;
  } else {
    HWND label = GetDlgItem(found.window, IDC_LOGON_DOMAIN_LABEL);
    if (!label || GetWindowTextLengthW(label) == 0) return nullptr;
  }
  return found.window;
}

struct Child {
  PROCESS_INFORMATION info = {};
  tvn::UniqueHandleKernel process;
  tvn::UniqueHandleKernel thread;
  bool Start(const std::wstring& exe, const std::wstring& tail, DWORD flags = 0) {
    std::wstring line = L"\"" + exe + L"\"" + tail;
    return Started(exe.empty() ? nullptr : exe.c_str(), line, flags);
  }
  bool StartLine(std::wstring line, DWORD flags) { return Started(nullptr, line, flags); }
  void Wait() { WaitForSingleObject(process.get(), 120000); }

 private:
  bool Started(const wchar_t* exe, std::wstring& line, DWORD flags) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(exe, &line[0], nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup, &info)) return false;
    process.reset(info.hProcess);
    thread.reset(info.hThread);
    return true;
  }
};

HWND WaitPopulated(DWORD pid, const wchar_t* caption, bool commandDialog, double& elapsedFrom, double start) {
  for (;;) {
    HWND dialog = PopulatedDialog(pid, caption, commandDialog);
    if (dialog) {
      elapsedFrom = NowMs() - start;
      return dialog;
    }
    if (NowMs() - start > 60000) return nullptr;
    Sleep(2);
  }
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

bool ExtractScript(const std::wstring& exe, const std::wstring& target) {
  const tvn::UniqueModule module(LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!module) return false;
  bool ok = false;
  HRSRC found = FindResourceW(module.get(), MAKEINTRESOURCEW(750), MAKEINTRESOURCEW(10));
  HGLOBAL loaded = found ? LoadResource(module.get(), found) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  DWORD size = found ? SizeofResource(module.get(), found) : 0;
  const tvn::UniqueHandleKernel file(
      CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (data && size && file) {
    DWORD written = 0;
    ok = WriteFile(file.get(), data, size, &written, nullptr) && written == size;
  }
  return ok;
}

// The two script runs of one interactive start, done directly: the time of
// the describing run and of the clean-up run.
std::pair<double, double> BareScriptRuns(const std::wstring& exe, const wchar_t* word, DWORD id) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  std::wstring script = std::wstring(temp) + L"TVN_" + std::to_wstring(id) + L".script";
  if (!ExtractScript(exe, script)) return {-1, -1};
  wchar_t comspec[MAX_PATH] = {};
  GetEnvironmentVariableW(L"COMSPEC", comspec, MAX_PATH);
  double times[2] = {-1, -1};
  const wchar_t* runs[2] = {word, L"f"};
  for (int i = 0; i < 2; ++i) {
    std::wstring line = std::wstring(L"\"") + comspec + L"\" /c cscript /nologo /e:javascript \"" + script + L"\" " +
                        runs[i] + L" " + std::to_wstring(id);
    Child child;
    double start = NowMs();
    if (!child.StartLine(line, CREATE_NO_WINDOW)) return {-1, -1};
    child.Wait();
    times[i] = NowMs() - start;
  }
  return {times[0], times[1]};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tvn_bench.exe TVN_EXE [ROUNDS]\n");
    return 2;
  }
  const std::wstring exe = argv[1];
  const int rounds = argc > 2 ? std::max(1, _wtoi(argv[2])) : 5;

  struct Mode {
    const char* name;
    const wchar_t* tail;
    const wchar_t* caption;
    const wchar_t* word;
    bool commandDialog;
  } modes[] = {
      {"logon", L"", L"TVN3: \x0410\x0432\x0442\x043e\x0440\x0438\x0437\x0430\x0446\x0438\x044f", L"d1", false},
      {"command", L" c", L"TVN3: \x041a\x043e\x043c\x0430\x043d\x0434\x044b", L"d2", true},
  };
  for (const Mode& mode : modes) {
    std::vector<double> shown, describe, cleanup, peaks;
    for (int round = 0; round < rounds; ++round) {
      Child child;
      double start = NowMs();
      if (!child.Start(exe, mode.tail)) return 1;
      double elapsed = 0;
      HWND dialog = WaitPopulated(child.info.dwProcessId, mode.caption, mode.commandDialog, elapsed, start);
      if (!dialog) {
        std::printf("%s_error dialog did not appear\n", mode.name);
        TerminateProcess(child.process.get(), 1);
        return 1;
      }
      shown.push_back(elapsed);
      PROCESS_MEMORY_COUNTERS memory = {};
      memory.cb = sizeof(memory);
      const tvn::UniqueHandleKernel query(
          OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, child.info.dwProcessId));
      if (query && GetProcessMemoryInfo(query.get(), &memory, sizeof(memory)))
        peaks.push_back(static_cast<double>(memory.PeakWorkingSetSize));
      PostMessageW(dialog, WM_CLOSE, 0, 0);
      child.Wait();
      std::pair<double, double> bare = BareScriptRuns(exe, mode.word, 900000 + static_cast<DWORD>(round));
      describe.push_back(bare.first);
      cleanup.push_back(bare.second);
    }
    // Until its dialog shows, the tool runs one script (the describing run);
    // everything else in that time is the tool's own share.
    const double shownMs = Median(shown), describeMs = Median(describe), cleanupMs = Median(cleanup);
    const double shareMs = shownMs - describeMs;
    std::printf("%s_dialog_populated_ms %.1f\n", mode.name, shownMs);
    std::printf("%s_bare_describe_run_ms %.1f\n", mode.name, describeMs);
    std::printf("%s_bare_cleanup_run_ms %.1f\n", mode.name, cleanupMs);
    std::printf("%s_tool_share_ms %.1f\n", mode.name, shareMs);
    std::printf("%s_tool_share_of_script_runs %.3f\n", mode.name,
                describeMs + cleanupMs > 0 ? shareMs / (describeMs + cleanupMs) : 0);
    std::printf("%s_peak_working_set_bytes %.0f\n", mode.name, Median(peaks));
  }

  // A Refresh cycle: click Refresh, until the new copy's dialog is populated.
  {
    Child child;
    double start = NowMs(), elapsed = 0;
    if (!child.Start(exe, L" c")) return 1;
    HWND dialog = WaitPopulated(child.info.dwProcessId, modes[1].caption, true, elapsed, start);
    if (!dialog) return 1;
    DWORD oldPid = child.info.dwProcessId;
    start = NowMs();
    PostMessageW(GetDlgItem(dialog, IDC_COMMAND_REFRESH), BM_CLICK, 0, 0);
    HWND fresh = nullptr;
    while (!fresh && NowMs() - start < 60000) {
      // Any process but the old one.
      struct Enum {
        static BOOL CALLBACK Each(HWND window, LPARAM param) {
          auto* pair = reinterpret_cast<std::pair<DWORD, HWND>*>(param);
          DWORD pid = 0;
          GetWindowThreadProcessId(window, &pid);
          if (pid != pair->first &&
              PopulatedDialog(pid, L"TVN3: \x041a\x043e\x043c\x0430\x043d\x0434\x044b", true) == window) {
            pair->second = window;
            return FALSE;
          }
          return TRUE;
        }
      };
      std::pair<DWORD, HWND> pair(oldPid, nullptr);
      EnumWindows(Enum::Each, reinterpret_cast<LPARAM>(&pair));
      fresh = pair.second;
      if (!fresh) Sleep(2);
    }
    if (!fresh) return 1;
    std::printf("refresh_cycle_ms %.1f\n", NowMs() - start);
    child.Wait();
    DWORD freshPid = 0;
    GetWindowThreadProcessId(fresh, &freshPid);
    const tvn::UniqueHandleKernel freshProcess(OpenProcess(SYNCHRONIZE, FALSE, freshPid));
    PostMessageW(fresh, WM_CLOSE, 0, 0);
    if (freshProcess) WaitForSingleObject(freshProcess.get(), 60000);
  }

  // The floor: the tool started for its extract mode (splash, COM, common
  // controls, one resource written, no script and no dialog) until it ends.
  {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
      Child child;
      double start = NowMs();
      if (!child.Start(exe, std::wstring(L" e \"") + temp + L"tvn_bench_extract.script\" \"10\" \"750\"")) return 1;
      child.Wait();
      times.push_back(NowMs() - start);
    }
    std::printf("extract_mode_start_to_exit_ms %.1f\n", Median(times));
  }

  WIN32_FILE_ATTRIBUTE_DATA attributes = {};
  if (GetFileAttributesExW(exe.c_str(), GetFileExInfoStandard, &attributes))
    std::printf("exe_size_bytes %lu\n", attributes.nFileSizeLow);
  return 0;
}
