// The fatal reports of the entry and the sequences, which end the run.
#pragma once

namespace tvn {

struct AppContext;

// A fatal report: no owner, error icon, the text of the context's fatal
// message table entry.
void ShowFatal(const AppContext& context, int message, bool withSystemTextAndCode);

}  // namespace tvn
