#pragma once
// The plug-in host's exceptions and their messages.

#include "platform/Exceptions.h"

#include <string>

TV_DECLARE_EXCEPTION(ESPIInvalidSPI, Exception)
TV_DECLARE_EXCEPTION(ESPIInvalidAPI, Exception)
TV_DECLARE_EXCEPTION(ESPIFOpenErrorSPI, Exception)
TV_DECLARE_EXCEPTION(ESPIDupCreateSPIs, Exception)

inline ESPIFOpenErrorSPI SPIOpenError(const std::string& FileName) {
  return ESPIFOpenErrorSPI(FileName + ":Susie Pluginがロードできませんでした");
}

inline ESPIInvalidAPI SPIInvalidAPI(const std::string& ProcName, const std::string& FileName) {
  return ESPIInvalidAPI(ProcName + "は[" + FileName + "]では使えないSusie Plugin APIです");
}

inline ESPIDupCreateSPIs SPIDupCreate() { return ESPIDupCreateSPIs("TSPIs は複数生成できません"); }
