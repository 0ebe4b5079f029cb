#pragma once
// The progress line pictorra-cli keeps rewriting on a terminal during a folder run.

#include <string>

namespace pictorra::cli {

// "\r<finished> / <total>  m:ss elapsed, about m:ss left   ": the time left is the average so
// far times the pictures still to come; both clocks round to the nearest second. The trailing
// spaces wipe what a longer earlier line left behind.
std::string ProgressLine(int finished, int total, double elapsed_seconds);

}  // namespace pictorra::cli
