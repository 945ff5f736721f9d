#pragma once
// Unit SPIBmp: decoded picture data and the graphic classes behind the picture loader.

#include "SPIAbleData.h"
#include "SPIBitmap.h"
#include "SPIGraphic.h"
