#pragma once
// The exception family of the platform layer. Library classes derive their own exceptions from
// Exception; the viewer shows Message() to the user.

#include <exception>
#include <string>
#include <utility>

class Exception : public std::exception {
public:
  explicit Exception(std::string message) : FMessage(std::move(message)) {}
  const std::string& Message() const noexcept { return FMessage; }
  const char* what() const noexcept override { return FMessage.c_str(); }

private:
  std::string FMessage;
};

#define TV_DECLARE_EXCEPTION(Name, Base) \
  class Name : public Base {             \
  public:                                \
    using Base::Base;                    \
  };

TV_DECLARE_EXCEPTION(EOutOfResources, Exception)
TV_DECLARE_EXCEPTION(EOutOfMemory, Exception)
TV_DECLARE_EXCEPTION(ERangeError, Exception)
TV_DECLARE_EXCEPTION(EConvertError, Exception)
TV_DECLARE_EXCEPTION(EInvalidOperation, Exception)
TV_DECLARE_EXCEPTION(EStreamError, Exception)
TV_DECLARE_EXCEPTION(EReadError, EStreamError)
TV_DECLARE_EXCEPTION(EWriteError, EStreamError)
TV_DECLARE_EXCEPTION(EFOpenError, EStreamError)
TV_DECLARE_EXCEPTION(EFCreateError, EStreamError)
TV_DECLARE_EXCEPTION(EInvalidGraphic, Exception)
TV_DECLARE_EXCEPTION(EInvalidGraphicOperation, Exception)
// The silent exception: ends an operation that the user stopped, with nothing to report.
TV_DECLARE_EXCEPTION(EAbort, Exception)

// A failed internal consistency check: a programming error, not bad input.
class EAssertionFailed : public Exception {
public:
  EAssertionFailed(const std::string& message, std::string unit)
      : Exception(message + " (" + unit + ")"), FText(message), FUnit(std::move(unit)) {}
  const std::string& Text() const noexcept { return FText; }
  const std::string& Unit() const noexcept { return FUnit; }

private:
  std::string FText;
  std::string FUnit;
};

inline void Assert(bool condition, const char* message, const char* unit) {
  if (!condition) throw EAssertionFailed(message, unit);
}
