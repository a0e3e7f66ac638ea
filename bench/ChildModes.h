// Measurements that need a process of their own, started afresh: the bench program runs one of
// them instead of the benchmarks when its first argument is the mode's flag. A forked copy of
// the bench process is not enough: it inherits the state of threads (Qt's painting pool, for
// one) that it does not have, and may wait for them for ever.
#pragma once

#include <string>

// Registers `run` under `flag` (static initialisation); it returns the exit status.
bool RegisterChildMode(const char* flag, int (*run)());

// When argv[1] names a registered mode, runs it and gives its exit status in status.
bool RunChildModeIfAsked(int argc, char** argv, int& status);

// Starts this program afresh in the mode `flag` and returns what it wrote to its standard
// output; empty when it could not be started or failed.
std::string RunInChildMode(const char* flag);
