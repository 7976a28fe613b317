// The commands of ach. Each takes the parsed command line and returns the
// tool's exit status (ach_options.h); messages go to standard error, results
// to standard output.
#pragma once
#include "tools/ach/ach_options.h"

namespace ach {

// Read side (ach_commands_read.cpp).
int RunList(const Options& options);
int RunExtract(const Options& options);
int RunTest(const Options& options);

// Write side (ach_commands_write.cpp).
int RunCreate(const Options& options);
int RunAdd(const Options& options);
int RunDelete(const Options& options);
int RunComment(const Options& options);
int RunSfx(const Options& options);
int RunUnsfx(const Options& options);
int RunSplit(const Options& options);
int RunMerge(const Options& options);
// What create does, for create and package: builds options.archive from
// options.operands beside it and moves it into place when complete; `report`
// prints the closing "N file(s) added" line.
int CreateArchiveFile(const Options& options, bool report);

// Package (ach_package.cpp).
int RunPackage(const Options& options);

}  // namespace ach
