#pragma once
// Helpers of the tests that write CSV data files beside the report: the file name rule
// and numbers that read the same on every platform.

#include <cstddef>
#include <string>

#include "report/output_file.h"

namespace corvalis {

// Longest data-file name (base name plus suffix) that is created, the Windows path
// limit less its terminating zero. A longer name fails like a file that cannot be
// created.
constexpr size_t MaxDataFileName = 259;

// The base name followed by the suffix; empty when the base name is null or the
// result would be longer than MaxDataFileName.
std::string dataFileName(const char* baseName, const char* suffix);

// Starts the data file base name + suffix as a member of the group, which records its
// outcome. Null when the name is too long or the file cannot be created; the caller
// then goes on with its next file.
OutputFile* openDataFile(FileGroup& files, const char* baseName, const char* suffix);

// "%f" in the C locale. Not-a-number is written "nan" and infinities "inf" / "-inf",
// whatever the C library would print (glibc writes "-nan" for 0/0 on x86, MSVC
// "-nan(ind)"), so that every CSV reader sees the same text.
std::string csvNumber(double value);

}  // namespace corvalis
