#include "launcher/win/fatal_box.h"

#include "base/win/error_box.h"
#include "base/win/wide.h"
#include "description/records.h"

namespace tvn {

void ShowFatal(const AppContext& context, int message, bool withSystemTextAndCode) {
  const Text* text = nullptr;
  if (message >= 0 && message < static_cast<int>(context.fatalMessages.size())) {
    text = &context.fatalMessages[static_cast<std::size_t>(message)].text.text();
  }
  ShowError(nullptr, kKindError, withSystemTextAndCode, withSystemTextAndCode, text ? W(*text) : nullptr);
}

}  // namespace tvn
