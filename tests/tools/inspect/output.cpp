#include "tests/tools/inspect/output.h"

#include <windows.h>

#include <vector>

namespace tvn_inspect {

void Print(const std::string& text) {
  std::string line = text + "\n";
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(out, &mode)) {
    int units = MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
    std::vector<wchar_t> wide(units > 0 ? static_cast<std::size_t>(units) : 1);
    MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), wide.data(), units);
    DWORD written = 0;
    WriteConsoleW(out, wide.data(), static_cast<DWORD>(units), &written, nullptr);
    return;
  }
  const char* data = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    DWORD written = 0;
    DWORD chunk = left > 0x10000000 ? 0x10000000 : static_cast<DWORD>(left);
    if (!WriteFile(out, data, chunk, &written, nullptr) || written == 0) return;
    data += written;
    left -= written;
  }
}

}  // namespace tvn_inspect
