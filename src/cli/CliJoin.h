#pragma once
// One run of gazorin-cli: read the inputs' headers, plan the join, and write the output
// streamed from the inputs (or, with --no-stream, joined in memory one join at a time).

#include "cli/CliArguments.h"

namespace gz::cli {

// Returns the exit status; failures are reported on standard error, naming the file.
int RunJoin(const TCommandLine& cmd);

} // namespace gz::cli
