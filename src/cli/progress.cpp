#include "cli/progress.h"

#include <cstdio>

namespace pictorra::cli {
namespace {

std::string Clock(double seconds) {
    const long s = long(seconds + 0.5);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
    return buf;
}

}  // namespace

std::string ProgressLine(int finished, int total, double elapsed_seconds) {
    const double left = finished > 0 ? elapsed_seconds / finished * (total - finished) : 0;
    char buf[128];
    std::snprintf(buf, sizeof buf, "\r%d / %d  %s elapsed, about %s left   ", finished, total,
                  Clock(elapsed_seconds).c_str(), Clock(left).c_str());
    return buf;
}

}  // namespace pictorra::cli
