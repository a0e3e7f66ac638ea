#include "ChildModes.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <map>

namespace {

std::map<std::string, int (*)()>& Modes() {
    static std::map<std::string, int (*)()> modes;
    return modes;
}

}  // namespace

bool RegisterChildMode(const char* flag, int (*run)()) {
    Modes()[flag] = run;
    return true;
}

bool RunChildModeIfAsked(int argc, char** argv, int& status) {
    if (argc < 2) return false;
    const auto mode = Modes().find(argv[1]);
    if (mode == Modes().end()) return false;
    status = mode->second();
    return true;
}

std::string RunInChildMode(const char* flag) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    const pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        return {};
    }
    if (child == 0) {
        // Only async-signal-safe calls between fork and exec.
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        execl("/proc/self/exe", "snipwell_bench", flag, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string output;
    char buffer[256];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0) break;
        output.append(buffer, size_t(n));
    }
    close(fds[0]);
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    return output;
}
