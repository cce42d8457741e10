// Error types shared by every unit. Messages are UTF-16 like the rest of the program;
// what() gives them as UTF-8 for code that only knows std::exception.
#pragma once
#include <exception>
#include <string>
#include <vector>

class EError : public std::exception {
 public:
  explicit EError(std::wstring message);
  // A message the user reads in the interface's language: `format` is a text of the
  // translation table, its "%s" filled with `args` in order. Message() is the filled format.
  EError(std::wstring format, std::vector<std::wstring> args);
  const std::wstring& Message() const noexcept { return FMessage; }
  const std::wstring& Format() const noexcept { return FFormat; }
  const std::vector<std::wstring>& Args() const noexcept { return FArgs; }
  // Class name shown by error boxes that name the error kind.
  virtual const wchar_t* ClassName() const noexcept { return L"Exception"; }
  const char* what() const noexcept override { return FUtf8.c_str(); }

 private:
  std::wstring FMessage;
  std::string FUtf8;
  std::wstring FFormat;
  std::vector<std::wstring> FArgs;
};

// `format` with each "%s" replaced by the next of `args` (missing ones by nothing).
std::wstring FillFormat(const std::wstring& format, const std::vector<std::wstring>& args);

#define VANTORU_DECLARE_ERROR(Name, Base)                                  \
  class Name : public Base {                                              \
   public:                                                                \
    using Base::Base;                                                     \
    const wchar_t* ClassName() const noexcept override { return L## #Name; } \
  }

// A conversion that was given text it cannot convert (for example a bad \u escape).
VANTORU_DECLARE_ERROR(EConvertError, EError);
// An internal consistency check failed: "Assertion failure (Unit, line N)".
VANTORU_DECLARE_ERROR(EAssertionFailed, EError);

[[noreturn]] void RaiseAssertion(const wchar_t* unit, int line);
// The message of any exception as UTF-16 (the message of an EError, else what() decoded).
std::wstring ExceptionMessage(const std::exception& e);
