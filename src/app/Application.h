#pragma once

namespace qv {

// Starts Quellvista: one copy per user, on the simulated Mac (the built-in machine, or
// the description named by --machine FILE or QUELLVISTA_MACHINE), with its window.
int runApplication(int argc, char **argv);

} // namespace qv
