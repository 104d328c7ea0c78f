// The documents of a device's terminal service (TCP 2220): the requests, the parameter-set
// write, the frame both directions use, and what a reply says.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "devconfig/terminal_parameter_set.h"

namespace vdz {

inline constexpr const char* kTerminalRequestKeyParam = "requestKeyParam";
inline constexpr const char* kTerminalRequestPlatform = "requestPlatform";
inline constexpr const char* kTerminalModifyPlatform = "modifyPlatform";
inline constexpr const char* kTerminalRebootAlarmApp = "rebootAlarmApp";

// The terminal service keeps replies in a buffer of this size.
inline constexpr std::size_t kTerminalReplyBytes = 10236;
// modifyPlatform is composed into fixed buffers on the terminal side.
inline constexpr std::size_t kModifyPlatformMaxBytes = 4096;
inline constexpr std::size_t kModifyPlatformFragmentMaxBytes = 256;
// The raw rtspUrl text taken from a reply.
inline constexpr std::size_t kRtspUrlMaxChars = 255;

inline constexpr int kTerminalDocumentTooLong = -2;
inline constexpr int kTerminalFragmentTooLong = -3;

// requestKeyParam and requestPlatform leave out an empty ip or sn; rebootAlarmApp always
// carries both.
std::string BuildTerminalRequest(const char* request, std::string_view ip, std::string_view sn);

// The modifyPlatform document of a parameter set. Without names, each attribute goes in by its
// own rule (left out when empty, negative or 0 as that rule says); with names, exactly those
// attributes go in. 0, or kTerminalFragmentTooLong / kTerminalDocumentTooLong: a value that
// does not fit is refused rather than cut, which would break the document.
int BuildModifyPlatform(const TerminalParameterSet& set, std::string* document,
                        const std::set<std::string>* names = nullptr);

// Attribute names modifyPlatform can carry, in the order the document lists them.
const std::set<std::string>& ModifyPlatformNames();

// Every attribute of the set in document order with its value as text (UTF-8); the written-only
// motionAlarmPeriod is left out.
std::vector<std::pair<std::string, std::string>> TerminalAttributeList(
    const TerminalParameterSet& set);
// Sets one attribute from text; false for an unknown name or a number that is not one.
bool SetTerminalAttribute(TerminalParameterSet* set, const std::string& name,
                          const std::string& value);
// Whether the attribute holds a number.
bool IsNumericTerminalAttribute(const std::string& name);

// The 4-byte network-order length, then the text.
std::string FrameTerminalDocument(std::string_view document);

struct TerminalAnswer {
  std::map<std::string, std::string> attributes;  // entities decoded, bytes as sent
  std::string raw;                                // the reply body as received
};

// 0 when the body is an XML text whose top level holds a root element with ord equal to
// request + "_ret" or "ok" (the first such one is the answer); -1 parse error or no nodes,
// -2 no answer element.
int ReadTerminalReply(std::string_view body, const char* request, TerminalAnswer* answer);

// Values the reply carries replace the set's; the others stay as they are.
void FillTerminalParameterSet(const TerminalAnswer& answer, TerminalParameterSet* set);

struct TerminalKeyParameters {
  std::string devname;     // UTF-8
  std::string deamontime;  // UTF-8
};
TerminalKeyParameters ReadTerminalKeyParameters(const TerminalAnswer& answer);

}  // namespace vdz
