#pragma once

// The rule moved to the platform layer, where the promotion screens reach it too.
#include "system/DeviceVariant.h"
