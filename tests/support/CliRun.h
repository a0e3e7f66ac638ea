// Runs the built snipwell-cli program (no shell) with its standard output and error captured.
#pragma once

#include <string>
#include <vector>

#include "TestSupport.h"

namespace testsupport {

struct RunResult {
    int exitCode = -1;  // -1 when the program could not be started or did not exit normally
    std::string out;
    std::string err;
};

// Runs snipwell-cli with args; the captured output goes through files in dir.
RunResult RunCli(const TempDir& dir, const std::vector<std::string>& args);
// The same for another program, found on PATH when program names no folder.
RunResult RunProgram(const TempDir& dir, const std::string& program, const std::vector<std::string>& args);

}  // namespace testsupport
