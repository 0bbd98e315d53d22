#ifndef CONSOLEDIALOGUE_H
#define CONSOLEDIALOGUE_H

#include <chrono>
#include <functional>
#include <istream>
#include <ostream>

class ConsoleTurntable;

// The whole dialogue of KalveraTurntableTest on `in` and `out`, from the list
// of models to the exit, with stepper moves as per-edge writes when
// `perEdgeStepWrites`, else as chip-clocked step trains on a chip whose clock
// the open measured; it says which, and the clock. A turning table is looked at every `pollPause`.
// Returns the program's exit status: 0, 1 when the chosen model does not
// open, or 2 when the USB backend cannot be loaded (said on `out`).
//
// The end of the input counts as the exit choice at every prompt that checks
// its read, so the dialogue never spins on a closed input. Once `interrupted`
// (when given) returns true, a move being waited for is stopped and the
// dialogue ends as at the exit, closing the table; the input should end then
// too, so that no prompt waits for it.
int runConsoleDialogue(ConsoleTurntable& table, std::istream& in, std::ostream& out,
                       std::chrono::milliseconds pollPause, bool perEdgeStepWrites = false,
                       const std::function<bool()>& interrupted = {});

#endif
