#include "launching/shell_errors.h"

#include "base/error_text.h"

namespace tvn {

std::uint32_t SystemErrorOfShellResult(std::intptr_t hInstApp) {
  switch (hInstApp) {
    case 2: return 2;      // SE_ERR_FNF: ERROR_FILE_NOT_FOUND
    case 3: return 3;      // SE_ERR_PNF: ERROR_PATH_NOT_FOUND
    case 5: return 5;      // SE_ERR_ACCESSDENIED: ERROR_ACCESS_DENIED
    case 8: return 8;      // SE_ERR_OOM: ERROR_NOT_ENOUGH_MEMORY
    case 10: return 1150;  // wrong Windows version: ERROR_OLD_WIN_VERSION
    case 11: return 11;    // ERROR_BAD_FORMAT, the same value
    case 26: return 32;    // SE_ERR_SHARE: ERROR_SHARING_VIOLATION
    case 27:               // SE_ERR_ASSOCINCOMPLETE
    case 31: return 1155;  // SE_ERR_NOASSOC: ERROR_NO_ASSOCIATION
    case 28:               // SE_ERR_DDETIMEOUT
    case 29:               // SE_ERR_DDEFAIL
    case 30: return 1156;  // SE_ERR_DDEBUSY: ERROR_DDE_FAIL
    case 32: return 1157;  // SE_ERR_DLLNOTFOUND: ERROR_DLL_NOT_FOUND
    default: return kUnreportedFailure;
  }
}

}  // namespace tvn
