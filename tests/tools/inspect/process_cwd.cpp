#include "tests/tools/inspect/process_cwd.h"

#include <cstdint>
#include <vector>

#include "base/win/unique_handle.h"
#include "tests/tools/inspect/options.h"
#include "tests/tools/inspect/output.h"
#include "tests/tools/json_out.h"

namespace tvn_inspect {

using tvn::UniqueHandleKernel;
using tvn_tools::JsonWriter;

// The current directory of another process of the inspector's own bitness:
// its PEB names the process parameters, which hold the directory as a counted
// UTF-16 text.
bool ProcessCurrentDirectory(DWORD pid, std::wstring* directory, std::string* error) {
  constexpr bool k64 = sizeof(void*) == 8;
  constexpr std::size_t kPebParameters = k64 ? 0x20 : 0x10;     // PEB.ProcessParameters
  constexpr std::size_t kParametersCurDir = k64 ? 0x38 : 0x24;  // ...CurrentDirectory.DosPath
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
  struct CountedText {  // UNICODE_STRING: the buffer at its natural alignment
    USHORT length, capacity;
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
  json.BeginObject().Key("pid").Int(static_cast<long long>(pid)).Key("cwd");
  if (ok) {
    json.String(directory);
  } else {
    json.Null().Key("error").Ascii(error.c_str());
  }
  json.EndObject();
  Print(json.str());
  return ok ? 0 : 1;
}

}  // namespace tvn_inspect
