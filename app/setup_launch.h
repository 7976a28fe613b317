// INTERIM: replaced by the setup-launch module.
#pragma once
#include "platform/types.h"
ZoResult LaunchSetup(const ZoChar* setupApp, const ZoChar* setupAppParams);
