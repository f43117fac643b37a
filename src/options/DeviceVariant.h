#pragma once

// The rule moved to the platform layer, where the promotion screens reach it too.
#include "platform/DeviceVariant.h"
