// The program's own version record, generated at build time from the project version
// (tools/make-version-record) in the standard version-information block format.
#pragma once

#include <cstddef>
#include <cstdint>

extern const uint8_t g_programVersionRecord[];
extern const size_t g_programVersionRecordSize;
