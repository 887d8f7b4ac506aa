// Files under fixed names in folders that others may write to (a shared
// temporary folder): the tool never opens such a name for writing, since
// another user may have put a file, a hard link to someone else's file or a
// reparse point there first. It makes a new file of a unique name in the same
// folder (CREATE_NEW: never anything that was there before), fills it, and
// moves it over the fixed name in one step, which replaces whatever stood
// there, a link included, without writing into it.
#pragma once

#include <windows.h>

#include "base/text.h"
#include "base/win/unique_handle.h"

namespace tvn {

// A file that this process created, deleted again at the end unless it was
// moved over its target or kept. The clean-up keeps the thread's last error.
class NewFile {
 public:
  NewFile() = default;
  ~NewFile();
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  // Creates an empty file "TVN<pid>-<n>.tmp" of a name not yet taken in
  // `folder`, open for writing and shared with nobody. False with the call's
  // error, ERROR_PATH_NOT_FOUND when there is no such folder.
  [[nodiscard]] bool Create(TextView folder) noexcept;

  const Text& path() const noexcept { return path_; }

  // Writes all `size` bytes through the open handle; false with the call's
  // error (ERROR_WRITE_FAULT for a short write).
  [[nodiscard]] bool Write(const void* bytes, DWORD size) noexcept;

  // Flushes and closes the handle; the file stays under its own name, where
  // another program may write it by name.
  [[nodiscard]] bool Close() noexcept;

  // Closes the file and moves it over `target` (replacing a file there, the
  // move written through). True when the file now stands there; it is then
  // no longer this owner's to delete.
  [[nodiscard]] bool MoveOver(const Text& target) noexcept;

  // Leaves the file under its own name at the end.
  void Keep() noexcept { path_.clear(); }

 private:
  Text path_;
  UniqueHandleKernel file_;
};

// True when the open `file` is an ordinary file with one name: no folder, no
// reparse point, no second hard link. Opened with FILE_FLAG_OPEN_REPARSE_POINT
// a name that is a link is the link itself, which this refuses. False with
// ERROR_FILE_INVALID for such a file, or the query's error.
[[nodiscard]] bool IsPlainSingleFile(HANDLE file) noexcept;

// Puts an exact copy of `source` at `target` through a NewFile in the target's
// folder, then opens what stands at `target` now and checks that it is that
// copy: a plain single file (IsPlainSingleFile) of the same size and bytes.
// `held` keeps it open for reading, shared for reading only, so that nobody
// can write, rename, delete or replace it until `held` is released: start the
// copy before that. A source above 64 MiB is refused (ERROR_FILE_TOO_LARGE).
// False with the failing step's error, ERROR_FILE_INVALID when another file
// stands at `target`; `held` is then empty.
[[nodiscard]] bool PlaceCopy(const Text& source, const Text& target, UniqueHandleKernel& held) noexcept;

}  // namespace tvn
