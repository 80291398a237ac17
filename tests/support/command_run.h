// A shell command run to its end, for tests that judge another program's
// output: what it wrote and how it ended.
#pragma once

#include <string>

namespace kt482::test {

struct CommandRun {
    int status = -1;  // the exit status; -1 when it could not run or did not exit
    std::string out;  // its standard output (redirect standard error into it with 2>&1)
};

CommandRun run_command(const std::string& command);

}  // namespace kt482::test
