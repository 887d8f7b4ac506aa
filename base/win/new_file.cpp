#include "base/win/new_file.h"

#include <cstring>
#include <memory>
#include <new>

#include "base/system_paths.h"
#include "base/win/wide.h"

namespace tvn {

namespace {

// Names already taken (by this process earlier, or by someone who guessed
// ahead) are skipped; so many taken in a row means someone fills the folder.
constexpr int kNameAttempts = 64;
constexpr DWORD kMaxCopyBytes = 64u * 1024u * 1024u;

// Different in each call of a process, and not the same sequence in every run.
std::uint32_t NextSequence() {
  static volatile LONG counter = 0;
  const std::uint32_t count = static_cast<std::uint32_t>(InterlockedIncrement(&counter));
  return (static_cast<std::uint32_t>(GetTickCount()) << 10) ^ count;
}

bool ReadExactly(HANDLE file, BYTE* buffer, DWORD size) {
  DWORD done = 0;
  while (done < size) {
    DWORD read = 0;
    if (!ReadFile(file, buffer + done, size - done, &read, nullptr)) return false;
    if (read == 0) {  // the file shrank meanwhile
      SetLastError(ERROR_HANDLE_EOF);
      return false;
    }
    done += read;
  }
  return true;
}

// The whole content of an open file of at most kMaxCopyBytes.
bool ReadWhole(HANDLE file, std::unique_ptr<BYTE[]>& bytes, DWORD& size) {
  DWORD high = 0;
  SetLastError(0);
  size = GetFileSize(file, &high);
  if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
  if (high != 0 || size > kMaxCopyBytes) {
    SetLastError(ERROR_FILE_TOO_LARGE);
    return false;
  }
  bytes.reset(new (std::nothrow) BYTE[size == 0 ? 1 : size]);
  if (!bytes) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  return ReadExactly(file, bytes.get(), size);
}

}  // namespace

NewFile::~NewFile() {
  file_.reset();
  if (path_.empty()) return;
  const DWORD saved = GetLastError();
  DeleteFileW(W(path_));
  SetLastError(saved);
}

bool NewFile::Create(TextView folder) noexcept {
  const Text folderText(folder);
  const DWORD attributes = GetFileAttributesW(W(folderText));
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    Text path = UniqueTemporaryName(folder, GetCurrentProcessId(), NextSequence());
    if (path.empty()) {
      SetLastError(ERROR_FILENAME_EXCED_RANGE);
      return false;
    }
    HANDLE file = CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      file_.reset(file);
      path_ = std::move(path);
      SetLastError(0);
      return true;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
  }
  SetLastError(ERROR_FILE_EXISTS);
  return false;
}

bool NewFile::Write(const void* bytes, DWORD size) noexcept {
  if (!file_) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  DWORD written = 0;
  if (!WriteFile(file_.get(), bytes, size, &written, nullptr)) return false;
  if (written != size) {
    SetLastError(ERROR_WRITE_FAULT);
    return false;
  }
  return true;
}

bool NewFile::Close() noexcept {
  if (file_ && !FlushFileBuffers(file_.get())) return false;
  file_.reset();
  return true;
}

bool NewFile::MoveOver(const Text& target) noexcept {
  if (path_.empty()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (!Close()) return false;
  if (!MoveFileExW(W(path_), W(target), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return false;
  path_.clear();
  SetLastError(0);
  return true;
}

bool IsPlainSingleFile(HANDLE file) noexcept {
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!GetFileInformationByHandle(file, &info)) return false;
  if (info.nNumberOfLinks != 1 || (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
    SetLastError(ERROR_FILE_INVALID);
    return false;
  }
  return true;
}

bool PlaceCopy(const Text& source, const Text& target, UniqueHandleKernel& held) noexcept {
  held.reset();
  std::unique_ptr<BYTE[]> bytes;
  DWORD size = 0;
  {
    UniqueHandleKernel in(
        CreateFileW(W(source), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!in || !ReadWhole(in.get(), bytes, size)) return false;
  }
  NewFile copy;
  if (!copy.Create(FolderOfPath(target)) || !copy.Write(bytes.get(), size) || !copy.MoveOver(target)) return false;

  // Whoever can write the folder may have put another file there since the
  // move: what is started is what is now read back and held.
  UniqueHandleKernel placed(CreateFileW(W(target), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!placed || !IsPlainSingleFile(placed.get())) return false;
  std::unique_ptr<BYTE[]> back;
  DWORD backSize = 0;
  if (!ReadWhole(placed.get(), back, backSize)) return false;
  if (backSize != size || std::memcmp(back.get(), bytes.get(), size) != 0) {
    SetLastError(ERROR_FILE_INVALID);
    return false;
  }
  held = std::move(placed);
  SetLastError(0);
  return true;
}

}  // namespace tvn
