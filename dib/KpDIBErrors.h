#pragma once
// The DIB library's exceptions. Messages name the class and operation that raised them, as in
// "TKpDIB.SetWidth: Invalid Width".

#include "platform/Exceptions.h"

TV_DECLARE_EXCEPTION(EKpDIBError, Exception)
TV_DECLARE_EXCEPTION(EKpDIBInvalidDIB, EKpDIBError)
TV_DECLARE_EXCEPTION(EKpDIBInvalidDIBFile, EKpDIBError)
TV_DECLARE_EXCEPTION(EKpDIBInvalidDIBPara, EKpDIBError)
TV_DECLARE_EXCEPTION(EKpDIBBadDIBType, EKpDIBError)
TV_DECLARE_EXCEPTION(EKpDIBPaletteIndexRange, EKpDIBError)
TV_DECLARE_EXCEPTION(EKpDIBPixelPositionRange, EKpDIBError)
TV_DECLARE_EXCEPTION(EKpDIBInvalidPalette, EKpDIBError)
TV_DECLARE_EXCEPTION(EKpDIBCompressionFailed, EKpDIBError)
TV_DECLARE_EXCEPTION(EKpDIBCanvasFailed, EKpDIBError)

// Internal consistency checks of the library raise EAssertionFailed with this unit name.
inline void KpAssert(bool condition, const char* message) { Assert(condition, message, "KpDIB"); }
