#pragma once

#include <chrono>

namespace rowsmith::db {

// The last step of a program that may have started connection probes:
// main() returns what this returns.
//
// Waits at most `limit` for the probes' workers, dropped ones too. When
// they have all ended, returns `status`, and the process ends as usual.
// When a worker is still inside a database's client library (a server that
// does not answer), the exit handlers and static destructors that returning
// from main() runs would run under its feet: the standard streams are
// flushed, a line on stderr says why, and the process ends at once with
// std::_Exit(status), which runs none of them.
//
// Call it only once everything the program keeps has been saved and closed.
//
// Threading: the main thread, once, at the very end.
int waitForProbesOrEndProcess(int status, std::chrono::milliseconds limit);

// Ends the process at once with `status`, running no exit handler and no
// static destructor: writes `why` as a line on stderr and flushes the
// standard streams first. For a program that must leave a thread behind.
[[noreturn]] void endProcessAtOnce(int status, const char* why);

}  // namespace rowsmith::db
