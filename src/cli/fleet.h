#pragma once

#include "cli/console.h"
#include "cli/port_job.h"

#include <vector>

namespace kr4720::cli {

// Runs every task at the same time, each port on its own thread, showing a
// progress line per port on standard error, and returns the results in the
// order of the tasks. One port failing does not stop the others.
std::vector<PortResult> runFleet(const std::vector<PortTask>& tasks, const Console& console);

// The exit status for a set of results: a port that cannot be opened (3)
// outweighs a failed transfer (1).
int combinedCode(const std::vector<PortResult>& results);

} // namespace kr4720::cli
