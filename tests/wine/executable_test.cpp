// TVN.exe as a file: its size, and the libraries it imports, which every
// start loads.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/win/unique_handle.h"

namespace {

using Bytes = std::vector<unsigned char>;

std::wstring ModuleDir() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring text = path;
  return text.substr(0, text.find_last_of(L'\\') + 1);
}

bool ReadAll(const std::wstring& path, Bytes& bytes) {
  const tvn::UniqueHandleKernel file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return false;
  DWORD size = GetFileSize(file.get(), nullptr);
  bytes.assign(size, 0);
  DWORD read = 0;
  return size != 0 && ReadFile(file.get(), bytes.data(), size, &read, nullptr) && read == size;
}

template <typename T>
bool At(const Bytes& file, std::size_t offset, T& out) {
  if (offset > file.size() || file.size() - offset < sizeof(T)) return false;
  std::memcpy(&out, file.data() + offset, sizeof(T));
  return true;
}

// The file offset of a relative virtual address, or 0.
std::size_t FileOffset(const Bytes& file, std::size_t sections, WORD count, DWORD rva) {
  for (WORD i = 0; i < count; ++i) {
    IMAGE_SECTION_HEADER section;
    if (!At(file, sections + i * sizeof(section), section)) return 0;
    const DWORD size = std::max(section.Misc.VirtualSize, section.SizeOfRawData);
    if (rva >= section.VirtualAddress && rva - section.VirtualAddress < size)
      return section.PointerToRawData + (rva - section.VirtualAddress);
  }
  return 0;
}

// The lower-case names of the libraries that an executable of this test's own
// bitness imports; false when the file is no such executable.
bool ImportedLibraries(const Bytes& file, std::vector<std::string>& names) {
  IMAGE_DOS_HEADER dos;
  IMAGE_NT_HEADERS nt;
  if (!At(file, 0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) return false;
  if (!At(file, static_cast<std::size_t>(dos.e_lfanew), nt) || nt.Signature != IMAGE_NT_SIGNATURE) return false;
  if (nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR_MAGIC) return false;
  const std::size_t sections = static_cast<std::size_t>(dos.e_lfanew) + offsetof(IMAGE_NT_HEADERS, OptionalHeader) +
                               nt.FileHeader.SizeOfOptionalHeader;
  const DWORD importRva = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
  std::size_t entry = FileOffset(file, sections, nt.FileHeader.NumberOfSections, importRva);
  if (entry == 0) return false;
  for (;; entry += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
    IMAGE_IMPORT_DESCRIPTOR descriptor;
    if (!At(file, entry, descriptor)) return false;
    if (descriptor.Name == 0) return true;
    std::size_t name = FileOffset(file, sections, nt.FileHeader.NumberOfSections, descriptor.Name);
    if (name == 0) return false;
    std::string text;
    for (; name < file.size() && file[name] != 0; ++name) text += static_cast<char>(tolower(file[name]));
    names.push_back(text);
  }
}

TEST(Executable, ImportsOnlyWhatEveryStartNeeds) {
  Bytes file;
  ASSERT_TRUE(ReadAll(ModuleDir() + L"TVN.exe", file)) << "TVN.exe next to the test program";
  std::vector<std::string> names;
  ASSERT_TRUE(ImportedLibraries(file, names));
  std::sort(names.begin(), names.end());
  // The common dialogs are loaded when the user browses; importing them would
  // make every start load them and the print-spooler libraries they bring.
  const std::vector<std::string> expected = {"advapi32.dll", "comctl32.dll", "gdi32.dll",   "kernel32.dll",
                                             "msvcrt.dll",   "ole32.dll",    "shell32.dll", "user32.dll"};
  EXPECT_EQ(names, expected);
}

// A statically linked executable without symbols or debugging information
// stays well below a mebibyte; the unstripped one is over 1.3 MB.
TEST(Executable, IsAtMostOneMebibyte) {
  Bytes file;
  ASSERT_TRUE(ReadAll(ModuleDir() + L"TVN.exe", file));
  EXPECT_LE(file.size(), 1024u * 1024u);
}

}  // namespace
