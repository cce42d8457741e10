#include "base/Errors.h"

#include "base/Text.h"

EError::EError(std::wstring message) : FMessage(std::move(message)), FUtf8(WideToUtf8(FMessage)) {}

EError::EError(std::wstring format, std::vector<std::wstring> args)
    : FMessage(FillFormat(format, args)), FUtf8(WideToUtf8(FMessage)), FFormat(std::move(format)), FArgs(std::move(args)) {}

std::wstring FillFormat(const std::wstring& format, const std::vector<std::wstring>& args) {
  std::wstring out;
  size_t next = 0, from = 0;
  for (size_t at; (at = format.find(L"%s", from)) != std::wstring::npos; from = at + 2) {
    out.append(format, from, at - from);
    if (next < args.size()) out += args[next++];
  }
  out.append(format, from, std::wstring::npos);
  return out;
}

void RaiseAssertion(const wchar_t* unit, int line) {
  throw EAssertionFailed(FormatW(L"Assertion failure (%ls, line %d)", unit, line));
}

std::wstring ExceptionMessage(const std::exception& e) {
  if (auto* err = dynamic_cast<const EError*>(&e)) return err->Message();
  return Utf8ToWide(e.what());
}
