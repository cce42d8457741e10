// Replies from the network: the image service's answer and the start-up call's answer.
// Nothing that is not a web address may come out as a link to hand to the shell.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/Errors.h"
#include "base/Text.h"
#include "base/WebAddress.h"
#include "outputs/UploadWire.h"
#include "service/UpdateReply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::wstring reply = Utf8ToWide(std::string_view(reinterpret_cast<const char*>(data), size));

  const std::wstring link = UploadLink(reply);
  if (!link.empty() && !IsWebAddress(link)) std::abort();
  for (const wchar_t c : link)
    if (c < 0x20 || c == L' ' || c == L'"') std::abort();

  // A broken escape is a conversion error, which the caller takes as "no offer".
  try {
    const TServiceReply service = ParseServiceReply(reply);
    (void)NoticeKindOf(service.Notice);
    (void)StaysOnTop(service.Notice);
    (void)ReplyMember(reply, L"update");
  } catch (const EConvertError&) {
  }
  return 0;
}
