// Feeds an arbitrary reply body of a terminal service through what each of the four requests
// does with it: the answer element, the parameter set and key parameters taken from it, and
// the modifyPlatform document written back from that set. The first byte picks the request.
#include <tinyxml2.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "devops/terminal_documents.h"

namespace {

void Expect(bool condition) {
  if (!condition)
    __builtin_trap();
}

constexpr const char* kRequests[] = {vdz::kTerminalRequestKeyParam, vdz::kTerminalRequestPlatform,
                                     vdz::kTerminalModifyPlatform, vdz::kTerminalRebootAlarmApp};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0)
    return 0;
  const char* request = kRequests[data[0] % 4];
  // The service reads at most this much, then hands over the body it read.
  const std::string body(reinterpret_cast<const char*>(data) + 1,
                         std::min(size - 1, vdz::kTerminalReplyBytes));

  vdz::TerminalAnswer answer;
  if (vdz::ReadTerminalReply(body, request, &answer) != 0)
    return 0;
  Expect(answer.raw == body);
  vdz::ReadTerminalKeyParameters(answer);

  vdz::TerminalParameterSet set;
  vdz::FillTerminalParameterSet(answer, &set);
  Expect(set.accessport >= 0 && set.accessport <= 0xFFFF);
  // Every attribute as the platform dialog lists it can be set again from its text.
  for (const auto& [name, value] : vdz::TerminalAttributeList(set))
    Expect(vdz::SetTerminalAttribute(&set, name, value));

  std::string document;
  if (vdz::BuildModifyPlatform(set, &document) != 0)
    return 0;
  Expect(document.size() <= vdz::kModifyPlatformMaxBytes);
  // Values read from a device go back escaped, so the document stays one element; only the
  // raw rtspUrl goes back as the device wrote it, by design.
  if (set.rtspUrlAsRead.empty()) {
    tinyxml2::XMLDocument doc;
    Expect(doc.Parse(document.c_str(), document.size()) == tinyxml2::XML_SUCCESS &&
           doc.RootElement() != nullptr && doc.RootElement()->NextSiblingElement() == nullptr);
  }
  return 0;
}
