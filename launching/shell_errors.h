// The system error code that stands for a failed shell start.
#pragma once

#include <cstdint>

namespace tvn {

// ShellExecuteExW can fail without setting a last error and report only an
// SE_ERR_ value in hInstApp. Those values (1 to 32) are not system error
// codes: read as one, SE_ERR_NOASSOC (31) would say "A device attached to the
// system is not functioning". This gives the system error of the same
// meaning: file and path not found (2, 3), access denied (5), out of memory
// (8), a bad executable (11), a too old Windows (1150), a sharing violation
// (32), no or an incomplete association (1155), a DDE failure, time-out or
// busy server (1156), a missing library (1157). Every other value has none
// and gives ERROR_GEN_FAILURE (31).
std::uint32_t SystemErrorOfShellResult(std::intptr_t hInstApp);

}  // namespace tvn
