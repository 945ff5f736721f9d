#pragma once
// Unit SPIs: the module interface, the wrappers and the registry.

#include "SPIErrors.h"
#include "SPIRegistry.h"
#include "SPIWrappers.h"
#include "SusieAbi.h"
