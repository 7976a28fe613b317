// INTERIM: replaced by the command-line module.
#pragma once
#include "platform/types.h"
ZoResult ParseCommandLine(const ZoChar* text, bool skipFirst);
