// INTERIM: replaced by the command-line module.
#include "app/command_line.h"
ZoResult ParseCommandLine(const ZoChar*, bool) { return 1; }
