// The resident memory of this process as /proc/self/status reports it, for the benchmarks that
// measure a resident peak.
#pragma once

// Kilobytes of a "VmRSS:" / "VmHWM:" line of /proc/self/status; -1 when missing.
long StatusKilobytes(const char* field);
