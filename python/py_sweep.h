// The sweeps of the Python module: the experiment library's runs, as the
// runner makes them, with their tables as the runner writes them.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace nyajkor::python {

// The runs table and the summary table (the runner's --csv and --summary)
// of the sweep the runner's flags `args` ask for: run here on its jobs, or
// merged from its shards' tables with --merge. ValueError with the
// runner's message when it refuses them; KeyboardInterrupt when Ctrl-C
// stops the runs.
std::pair<std::string, std::string> sweepTables(const std::vector<std::string>& args);

}  // namespace nyajkor::python
