#pragma once

namespace qel {

// Whether the session asked the program to end (a termination signal came). Set from a
// signal handler, read by long work on the only thread (building and printing a report),
// which stops at its next step so that the event loop can end the program in time.
void NoteEndRequested() noexcept;  // async-signal-safe
bool EndRequested() noexcept;

}  // namespace qel
