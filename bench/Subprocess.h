#pragma once

// Runs a program as a subprocess and measures its wall time and peak
// resident memory.
//
// The kernel records, as a process's peak, the resident size of the memory
// it leaves at exec: a child forked from a large process would report at
// least its parent's size. So the program is started by a small launcher,
// a fresh exec of the calling binary itself in launcher mode, which forks
// and execs the program and writes its exit status, wall time and peak RSS
// back through a pipe. A binary that uses runMeasured must therefore begin
// its main with:
//
//   if (MorvaBench::isLauncher(argc, argv)) return MorvaBench::runLauncher(argc, argv);

#include <string>
#include <vector>

namespace MorvaBench {

struct Measured {
  // The exit status, or -1 when the program did not exit normally or could
  // not be started.
  int status = -1;
  double seconds = 0;
  long peakBytes = 0;
};

// Runs `command` (the program's path, then its arguments) with standard
// output and standard error sent to the files `out` and `err`.
Measured runMeasured(const std::vector<std::string>& command, const std::string& out,
                     const std::string& err);

bool isLauncher(int argc, char** argv);
int runLauncher(int argc, char** argv);

}  // namespace MorvaBench
