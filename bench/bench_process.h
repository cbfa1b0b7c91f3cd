#pragma once

// Running one child process and timing it from its start to its end; reading this
// process's own resident memory. A child's peak memory has to come from the child
// itself: one started by fork or vfork carries its parent's peak in ru_maxrss.

#include <string>
#include <vector>

struct ChildRun
{
    double wallSeconds = 0;
    int exitCode = -1; // -1 when it did not exit normally
    std::string output; // what it wrote to stdout
};

// Starts program with its arguments and extra "NAME=value" variables on top of our
// environment, waits for it and reports. Throws std::runtime_error when it cannot be
// started.
ChildRun RunChild(const std::vector<std::string> &argv, const std::vector<std::string> &env = {});

// This process's resident set and its peak so far (VmRSS, VmHWM), in bytes.
long long ResidentBytes();
long long PeakResidentBytes();
// Lowers the recorded peak to the present resident set, so that PeakResidentBytes
// afterwards tells the peak of what follows. False when the kernel refuses.
bool ResetPeakResident();
