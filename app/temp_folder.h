// INTERIM: replaced by the temp-folder module.
#pragma once
#include "platform/types.h"
ZoResult CreateTempFolder(ZoChar* buffer, int capacity);
