// Running an external program with an argument vector.
//
// No shell is involved: every element of `argv` reaches the program as one
// literal argument, whatever characters it holds (quotes, "$", backquotes,
// backslashes, newlines, a leading "-"). The program is looked up in PATH
// like the shell would (posix_spawnp).
//
// Thread safety: may be called from any thread; it blocks the calling thread
// until the program has ended. Descriptors opened without close-on-exec are
// inherited by the program.
#pragma once

#include <atomic>
#include <vector>

#include "text/narrow_string.h"

namespace veskp8 {

// Runs argv[0] with the arguments argv[0..], standard input and output
// inherited, standard error inherited or (stderr_to_null) sent to /dev/null,
// and waits for it to end.
//
// Returns the wait status as waitpid reports it (WIFEXITED/WEXITSTATUS apply:
// an exit code c gives c << 8, a signal s gives s), or -1 when the program
// could not be started at all (empty argv, not found in PATH, not
// executable, no process could be made), as a shell that cannot be started
// would report.
//
// With `stop`, the wait looks at the flag every 20 ms and gives up once it is
// set: the result is then -1 and the program is left running (it is the
// user's, e.g. a document viewer; it ends on its own and init reaps it).
[[nodiscard]] int RunProgram(const std::vector<NarrowString>& argv, bool stderr_to_null,
                             const std::atomic<bool>* stop = nullptr);

// RunProgram with both standard output and standard error sent to /dev/null
// (standard input inherited): for programs whose chatter must not reach the
// installer's terminal. Same result, blocking and `stop` as RunProgram.
[[nodiscard]] int RunProgramQuietly(const std::vector<NarrowString>& argv,
                                    const std::atomic<bool>* stop = nullptr);

}  // namespace veskp8
