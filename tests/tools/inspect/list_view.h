// List views of another process: their requests carry pointers, so the
// records and texts go through a buffer allocated in the list's process
// (VirtualAllocEx, ReadProcessMemory). Texts longer than 1023 units are cut.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cstddef>
#include <string>

#include "base/win/unique_handle.h"
#include "tests/tools/json_out.h"

namespace tvn_inspect {

constexpr int kItemTextUnits = 1024;

// A block of memory in another process, for the controls whose messages carry
// pointers (list views). Freed with the object.
class RemoteBuffer {
 public:
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;
  RemoteBuffer() = default;
  ~RemoteBuffer() {
    if (base_) VirtualFreeEx(process_.get(), base_, 0, MEM_RELEASE);
  }
  bool Open(HWND window, std::size_t size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    process_.reset(
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION, FALSE, pid));
    if (!process_) return false;
    base_ = static_cast<char*>(VirtualAllocEx(process_.get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    size_ = size;
    return base_ != nullptr;
  }
  // Address in the other process.
  void* At(std::size_t offset) const { return base_ + offset; }
  bool Write(std::size_t offset, const void* data, std::size_t size) {
    if (offset > size_ || size > size_ - offset) return false;
    SIZE_T written = 0;
    return WriteProcessMemory(process_.get(), base_ + offset, data, size, &written) && written == size;
  }
  bool Read(std::size_t offset, void* data, std::size_t size) const {
    if (offset > size_ || size > size_ - offset) return false;
    SIZE_T read = 0;
    return ReadProcessMemory(process_.get(), base_ + offset, data, size, &read) && read == size;
  }
  // Reads from any address of the other process (a text pointer a control chose).
  bool ReadAt(const void* address, void* data, std::size_t size) const {
    SIZE_T read = 0;
    return ReadProcessMemory(process_.get(), address, data, size, &read) && read == size;
  }

 private:
  tvn::UniqueHandleKernel process_;
  char* base_ = nullptr;
  std::size_t size_ = 0;
};

// Remote layout for the list-view requests: one record, then a text buffer.
constexpr std::size_t kRemoteTextOffset = 256;
constexpr std::size_t kRemoteSize = kRemoteTextOffset + kItemTextUnits * sizeof(wchar_t);
static_assert(sizeof(LVITEMW) <= kRemoteTextOffset && sizeof(LVHITTESTINFO) <= kRemoteTextOffset, "record fits");

// LVM_GETITEMRECT for item `index` with the LVIR_ code `code`.
bool RemoteItemRect(RemoteBuffer& remote, HWND list, int index, int code, RECT* rect);
// LVM_HITTEST at `point` (list client coordinates): the item there, or -1.
bool RemoteHitTest(RemoteBuffer& remote, HWND list, POINT point, int* index);

struct ListItem {
  std::wstring text;
  int image = -1;
  LPARAM param = 0;
  UINT state = 0;
  bool hasRect = false;
  RECT rect = {};
};

bool RemoteGetItem(RemoteBuffer& remote, HWND list, int index, ListItem* item);

// The list view's "count", "selected", "has_image_list" and "items" members.
void WriteListView(tvn_tools::JsonWriter& json, HWND list);

}  // namespace tvn_inspect
