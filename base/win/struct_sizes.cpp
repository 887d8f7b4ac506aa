// Compiles the record-size checks of struct_sizes.h into every Windows build,
// whichever sources happen to include the header.
#include "base/win/struct_sizes.h"
