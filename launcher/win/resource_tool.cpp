#include "launcher/win/resource_tool.h"

#include <memory>
#include <new>
#include <string>

#include "base/error_text.h"
#include "base/system_paths.h"
#include "base/win/new_file.h"
#include "base/win/startup_trace.h"
#include "base/win/unique_handle.h"
#include "base/win/wide.h"
#include "description/records.h"
#include "launcher/command_line.h"
#include "launcher/win/fatal_box.h"
#include "launcher/win/splash.h"

namespace tvn {

namespace {

constexpr std::size_t kNumberBufferBytes = 20;  // 19 characters and a terminator

// Fails with `code` when the call that failed left no code of its own.
bool FailWith(DWORD fallbackCode) {
  if (GetLastError() == 0) SetLastError(fallbackCode);
  return false;
}

// Some platforms (Wine) fail BeginUpdateResourceW without an error code. The
// reason is then found by opening the file the way an update needs it: a
// missing, locked or protected file gives that open's code; a file that opens
// is no updatable executable.
DWORD WhyNotUpdatable(const wchar_t* exePath) {
  UniqueHandleKernel probe(
      CreateFileW(exePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!probe) return GetLastError() != 0 ? GetLastError() : static_cast<DWORD>(ERROR_OPEN_FAILED);
  return ERROR_BAD_EXE_FORMAT;
}

}  // namespace

bool ExtractResourceToFile(const wchar_t* filePath, WORD type, WORD id) noexcept {
  if (filePath == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (type == 0 || id == 0) {  // 0 is no integer resource name
    SetLastError(type == 0 ? ERROR_RESOURCE_TYPE_NOT_FOUND : ERROR_RESOURCE_NAME_NOT_FOUND);
    return false;
  }
  HMODULE module = GetModuleHandleW(nullptr);
  if (module == nullptr) return false;

  SetLastError(0);
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
  if (resource == nullptr) return FailWith(ERROR_RESOURCE_NAME_NOT_FOUND);
  DWORD size = SizeofResource(module, resource);
  if (size == 0) return FailWith(ERROR_RESOURCE_DATA_NOT_FOUND);
  HGLOBAL loaded = LoadResource(module, resource);
  if (loaded == nullptr) return FailWith(ERROR_RESOURCE_DATA_NOT_FOUND);
  const void* bytes = LockResource(loaded);
  if (bytes == nullptr) return FailWith(ERROR_RESOURCE_DATA_NOT_FOUND);

  if (*filePath == L'\0') {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  // What cannot be opened for writing is not replaced either: a read-only
  // file or a folder of that name stays (not every platform's move refuses
  // to replace a read-only file).
  const DWORD attributes = GetFileAttributesW(filePath);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  // The bytes go into a new file beside the target, created by this call and
  // written through its own handle, which then takes the target's place in
  // one step: a failure on the way leaves an existing target exactly as it
  // was, never a partly written one, and a target that is a link is replaced,
  // not written through.
  NewFile temporary;
  if (!temporary.Create(FolderOfPath(ToText(filePath))) || !temporary.Write(bytes, size) ||
      !temporary.MoveOver(ToText(filePath))) {
    return false;
  }
  SetLastError(0);
  return true;
}

bool ReplaceResourceFromFile(const wchar_t* dataPath, const wchar_t* exePath, WORD type, WORD id) noexcept {
  if (dataPath == nullptr || exePath == nullptr || type == 0 || id == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  UniqueHandleKernel file(
      CreateFileW(dataPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;

  DWORD sizeHigh = 0;
  SetLastError(0);
  DWORD size = GetFileSize(file.get(), &sizeHigh);
  if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
  if (sizeHigh != 0) {
    SetLastError(ERROR_FILE_TOO_LARGE);
    return false;
  }
  if (size == 0) {
    // UpdateResourceW with no data deletes the resource: an empty file must
    // not silently remove the script from the executable.
    SetLastError(ERROR_INVALID_DATA);
    return false;
  }
  if (size > kMaxResourceDataBytes) {  // refused before a byte is read
    SetLastError(ERROR_FILE_TOO_LARGE);
    return false;
  }

  std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[size]);
  if (!buffer) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  DWORD read = 0;
  if (!ReadFile(file.get(), buffer.get(), size, &read, nullptr)) return false;
  if (read != size) {  // the file shrank meanwhile: never store a partly filled buffer
    SetLastError(ERROR_HANDLE_EOF);
    return false;
  }

  SetLastError(0);
  ResourceUpdate update(BeginUpdateResourceW(exePath, FALSE));
  if (!update) {
    if (GetLastError() == 0) SetLastError(WhyNotUpdatable(exePath));
    return false;
  }
  // A failed update is discarded as the owner ends: nothing is written.
  if (!UpdateResourceW(update.get(), MAKEINTRESOURCEW(type), MAKEINTRESOURCEW(id),
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), buffer.get(), size)) {
    if (GetLastError() == 0) SetLastError(ERROR_INVALID_DATA);
    return false;
  }
  if (!update.Commit()) return FailWith(ERROR_WRITE_FAULT);
  SetLastError(0);
  return true;
}

WORD ResourceNumber(const Text& argument) noexcept {
  const DWORD saved = GetLastError();
  char buffer[kNumberBufferBytes] = {};
  std::string narrow;
  if (!argument.empty()) {
    const int units = static_cast<int>(argument.size() < 0x7FFFFFFF ? argument.size() : 0x7FFFFFFF);
    int bytes = WideCharToMultiByte(CP_ACP, 0, W(argument), units, buffer, static_cast<int>(kNumberBufferBytes - 1),
                                    nullptr, nullptr);
    if (bytes > 0) {
      narrow.assign(buffer, static_cast<std::size_t>(bytes));
    } else {
      // Longer than the buffer: convert it whole and keep what the buffer holds.
      int needed = WideCharToMultiByte(CP_ACP, 0, W(argument), units, nullptr, 0, nullptr, nullptr);
      if (needed > 0) {
        narrow.resize(static_cast<std::size_t>(needed));
        needed = WideCharToMultiByte(CP_ACP, 0, W(argument), units, &narrow[0], needed, nullptr, nullptr);
        narrow.resize(needed > 0 ? static_cast<std::size_t>(needed) : 0);
      }
      if (narrow.size() > kNumberBufferBytes - 1) narrow.resize(kNumberBufferBytes - 1);
    }
  }
  SetLastError(saved);
  const std::int64_t value = ParseDecimalNarrow(narrow, kNumberBufferBytes - 1);
  return static_cast<WORD>(static_cast<std::uint64_t>(value) & 0xFFFFu);
}

void RunResourceTool(const CommandLineOptions& options, const AppContext& context, SplashWindow& splash) {
  const auto& args = options.arguments;
  bool done = true;
  if (const std::uint32_t refused = RefusedArgumentError(options)) {
    // An argument that did not fit its buffer would name another file than
    // the one typed: refuse it instead of using what was left of it.
    SetLastError(refused);
    done = false;
  } else if (options.toolMode == ToolMode::ExtractResource) {
    done = ExtractResourceToFile(W(args[0]), ResourceNumber(args[1]), ResourceNumber(args[2]));
  } else if (options.toolMode == ToolMode::UpdateResource) {
    done = ReplaceResourceFromFile(W(args[0]), W(args[1]), ResourceNumber(args[2]), ResourceNumber(args[3]));
  }
  if (!done) {
    // The operation may fail before the splash is up; the box must come in
    // front of it, not be covered when the splash takes the foreground.
    splash.WaitUntilShown();
    ShowFatal(context, options.toolMode == ToolMode::ExtractResource ? kFatalExtractScript : kFatalUpdateResource,
              true);
  }
  TracePhase("resource-tool-done");
  splash.Close();
  TracePhase("splash-closed");
}

}  // namespace tvn
