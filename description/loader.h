// The loader: fills one section of a UiDescription from the registry
// description (modes 0, 1, 3) or from fixed values (mode 2), and releases what
// a load of the same mode made. Mode 4 (the AppContext) is built by the
// launcher, not here.
//
// Every value is read in the order of the section's elements and each
// element's attributes in the order listed with it. A missing value gives its
// missing-value result and never fails a load; only a key that cannot be
// opened does, and then nothing of the section is touched.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/text.h"
#include "description/reader.h"
#include "description/records.h"

namespace tvn {

// Limits of the lists. The description never comes near them; they keep a
// damaged or hostile value (say "1.2#20" = 4000000000) from allocating
// without bound. A count above its limit is cut to the limit; a count that
// reads as a negative 32-bit number means 0.
constexpr std::uint32_t kMaxComboItems = 1024;   // items of each log-on combo box
constexpr std::uint32_t kMaxCommandRows = 1024;  // rows of the command list
constexpr std::uint32_t kMaxMenus = 256;         // command menus
constexpr std::uint32_t kMaxMenuEntries = 256;   // entries of one command menu

// A count as read from an attribute-20 value, limited as above.
std::uint32_t ClampCount(std::int32_t value, std::uint32_t limit);

// The fixed version text of the help dialog's element 2.1: "Tolvane 3.1
// (build 15)", then the copyright, e-mail and web lines, each after CR LF.
Text HelpVersionText();

// Makes and frees the platform handles of a description.
class HandleFactory {
 public:
  virtual ~HandleFactory() = default;
  // Icon `index` of `file`; 0 when the file has no such icon.
  virtual IconHandle MakeIcon(TextView file, std::int32_t index) = 0;
  virtual void DestroyIcon(IconHandle icon) = 0;
  // A font as `spec` describes it; 0 when the platform makes none.
  virtual FontHandle MakeFont(const FontSpec& spec) = 0;
  virtual void DeleteFont(FontHandle font) = 0;
};

// Loads the section of `mode` (kLoadLogon, kLoadCommand, kLoadSplash,
// kLoadHelp). `subKey` is the DescriptionKey's sub-key; the splash ignores it.
// True with lastError 0, or false with the status of the failed open (the
// section then holds nothing new). Mode 4 and unknown modes give false with
// kStatusInvalidParameter. A section is loaded at most once between releases.
[[nodiscard]] bool Load(UiDescription& ui, LoadMode mode, TextView subKey, DescriptionSource& source,
                        HandleFactory& factory, std::uint32_t& lastError);

// Frees what Load of the same mode made: every icon destroyed, every font
// deleted, every text buffer freed, every array emptied; the section's records
// return to their empty state (the context reference is kept). Releasing a
// section that holds nothing frees nothing. Mode 4 is not handled here.
void Release(UiDescription& ui, LoadMode mode, HandleFactory& factory);

}  // namespace tvn
