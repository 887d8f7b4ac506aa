// Opt-in start-up trace.
//
// With the environment variable TVN_TRACE set to 1, every process of the tool
// appends one line per start-up phase to "TVN_trace.log" in the user's
// temporary directory:
//
//   <microseconds> <process id> <phase>
//
// The microseconds are the performance counter's, which all processes of one
// machine share, so lines of the copies that the tool starts line up with its
// own. Phases are fixed words; nothing else (no path, command line or typed
// text) is ever written. Off by default: then a phase costs one test of a flag.
//
// Many processes append to the one file, so it is opened by its name for each
// line; a name that is a reparse point or one of several hard links is left
// alone (no line is written), so another user of a shared temporary folder
// cannot make the trace write into a file of their choosing.
#pragma once

namespace tvn {

// Reads TVN_TRACE once and, when it is 1, writes the "entry" phase. Call
// first thing in the entry, on the main thread, before any other thread runs.
void StartTrace() noexcept;

// Appends one line for `phase` (a fixed word) when the trace is on. Safe from
// any thread; keeps the thread's last-error code.
void TracePhase(const char* phase) noexcept;

// Whether the trace is on (for tests).
bool TraceEnabled() noexcept;

}  // namespace tvn
