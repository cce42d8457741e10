#include "base/Errors.h"

#include "base/Text.h"

EError::EError(std::wstring message) : FMessage(std::move(message)), FUtf8(WideToUtf8(FMessage)) {}

void RaiseAssertion(const wchar_t* unit, int line) {
  throw EAssertionFailed(FormatW(L"Assertion failure (%ls, line %d)", unit, line));
}

std::wstring ExceptionMessage(const std::exception& e) {
  if (auto* err = dynamic_cast<const EError*>(&e)) return err->Message();
  return Utf8ToWide(e.what());
}
