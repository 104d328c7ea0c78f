#include "devops/terminal_documents.h"

#include <tinyxml2.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "devconfig/xml_escape.h"
#include "devconfig/xml_printer.h"
#include "shell/text_codec.h"

namespace vdz {

namespace {

constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

using Set = TerminalParameterSet;

enum class Rule {
  kNotEmpty,             // text written when not empty
  kNever,                // read only
  kPositive,             // number written when greater than 0
  kAlways,               // number always written
  kNonNegative,          // number written when 0 or more
  kEmptyForm,            // text always written, name="" when empty
  kEmptyUnlessPositive,  // number always written, name="" unless greater than 0
  kMirrorsAlarmPeriod,   // never read, always written with dbAlarmPeriod
};

struct Attribute {
  const char* name;
  std::string Set::*text = nullptr;
  int Set::*number = nullptr;
  Rule rule = Rule::kNotEmpty;
  bool utf8 = false;  // sent in UTF-8 instead of the narrow code page
};

constexpr Attribute T(const char* name, std::string Set::*text, Rule rule, bool utf8 = false) {
  return {name, text, nullptr, rule, utf8};
}
constexpr Attribute N(const char* name, int Set::*number, Rule rule) {
  return {name, nullptr, number, rule, false};
}

const std::vector<Attribute>& Attributes() {
  static const std::vector<Attribute> table = {
      T("accessip", &Set::accessip, Rule::kNotEmpty),
      T("accessauxip", &Set::accessauxip, Rule::kNotEmpty),
      T("devid", &Set::devid, Rule::kNever),
      T("devname", &Set::devname, Rule::kNotEmpty, true),
      N("accessport", &Set::accessport, Rule::kPositive),
      N("talkCapVol", &Set::talkCapVol, Rule::kPositive),
      N("normalCapVol", &Set::normalCapVol, Rule::kPositive),
      N("normalPlayVol", &Set::normalPlayVol, Rule::kPositive),
      N("callingPlayVol", &Set::callingPlayVol, Rule::kPositive),
      N("dbAlarmVol", &Set::dbAlarmVol, Rule::kPositive),
      N("dbAlarmEna", &Set::dbAlarmEna, Rule::kAlways),
      T("dbAlarmMP3", &Set::dbAlarmMP3, Rule::kNotEmpty),
      N("serialRate", &Set::serialRate, Rule::kNonNegative),
      T("model", &Set::model, Rule::kNotEmpty, true),
      N("io_out1", &Set::io_out1, Rule::kNonNegative),
      N("io_out2", &Set::io_out2, Rule::kNonNegative),
      N("io_out3", &Set::io_out3, Rule::kNonNegative),
      N("hasVid", &Set::hasVid, Rule::kNonNegative),
      N("hasTalk", &Set::hasTalk, Rule::kNonNegative),
      N("needLog", &Set::needLog, Rule::kNonNegative),
      T("deamontime", &Set::deamontime, Rule::kNever, true),
      T("reboottime", &Set::reboottime, Rule::kNotEmpty),
      N("enaReboot", &Set::enaReboot, Rule::kAlways),
      T("rtspUrl", &Set::rtspUrl, Rule::kEmptyForm),
      N("rtspEna", &Set::rtspEna, Rule::kNonNegative),
      T("ftpIp", &Set::ftpIp, Rule::kEmptyForm),
      N("ftpPort", &Set::ftpPort, Rule::kEmptyUnlessPositive),
      T("ftpUser", &Set::ftpUser, Rule::kEmptyForm),
      T("ftpPwd", &Set::ftpPwd, Rule::kEmptyForm),
      T("ftpPath", &Set::ftpPath, Rule::kEmptyForm),
      N("IOSnapEna", &Set::IOSnapEna, Rule::kNonNegative),
      N("denoiseEna", &Set::denoiseEna, Rule::kNonNegative),
      N("io3TimerVle", &Set::io3TimerVle, Rule::kNonNegative),
      N("io3TimerEna", &Set::io3TimerEna, Rule::kNonNegative),
      N("threeLedEna", &Set::threeLedEna, Rule::kNonNegative),
      N("IO2FxEna", &Set::IO2FxEna, Rule::kNonNegative),
      N("IO3FxEna", &Set::IO3FxEna, Rule::kNonNegative),
      N("IOAlarmEna", &Set::IOAlarmEna, Rule::kNonNegative),
      N("IOFangCaiAlarmEna", &Set::IOFangCaiAlarmEna, Rule::kNonNegative),
      N("NetCheckEna", &Set::NetCheckEna, Rule::kNonNegative),
      N("CapCheckEna", &Set::CapCheckEna, Rule::kNonNegative),
      N("IOAlarmPort", &Set::IOAlarmPort, Rule::kNonNegative),
      T("IOAlarmUrl", &Set::IOAlarmUrl, Rule::kEmptyForm),
      N("IO2CancelEna", &Set::IO2CancelEna, Rule::kNonNegative),
      N("IO3CheckEna", &Set::IO3CheckEna, Rule::kNonNegative),
      N("dbAlarmPeriod", &Set::dbAlarmPeriod, Rule::kNonNegative),
      N("motionAlarmPeriod", &Set::dbAlarmPeriod, Rule::kMirrorsAlarmPeriod),
      T("clientid", &Set::clientid, Rule::kNotEmpty, true),
  };
  return table;
}

// Whether the attribute goes into the document by its own rule.
bool Written(const Attribute& a, const Set& set) {
  switch (a.rule) {
    case Rule::kNotEmpty:
      return !(set.*a.text).empty();
    case Rule::kNever:
      return false;
    case Rule::kPositive:
      return set.*a.number > 0;
    case Rule::kNonNegative:
      return set.*a.number >= 0;
    case Rule::kAlways:
    case Rule::kEmptyForm:
    case Rule::kEmptyUnlessPositive:
    case Rule::kMirrorsAlarmPeriod:
      return true;
  }
  return false;
}

// The attribute's value as it goes between the quotes.
std::string WireValue(const Attribute& a, const Set& set) {
  if (a.number != nullptr) {
    const int value = set.*a.number;
    if (a.rule == Rule::kEmptyUnlessPositive && value <= 0)
      return {};
    return std::to_string(value);
  }
  const std::string& text = set.*a.text;
  // The raw text read from the device already is attribute text: it goes back unchanged so
  // that its entities survive. Anything typed is escaped like every other value.
  if (a.text == &Set::rtspUrl && !text.empty() && text == set.rtspUrlAsRead)
    return Utf8ToAnsi(text);
  return EscapeXmlAttribute(a.utf8 ? text : Utf8ToAnsi(text));
}

std::string DecodeText(const Attribute& a, const char* value) {
  return a.utf8 ? std::string(value) : AnsiToUtf8(value);
}

// The raw value of rtspUrl="..." in the reply text, entities and all.
bool RawRtspUrl(std::string_view raw, std::string* value) {
  constexpr std::string_view kKey = "rtspUrl=\"";
  for (std::size_t at = raw.find(kKey); at != std::string_view::npos; at = raw.find(kKey, at + 1)) {
    // Only the attribute itself, not a longer name that ends in the same letters.
    if (at > 0 && raw[at - 1] != ' ' && raw[at - 1] != '\t' && raw[at - 1] != '\n' &&
        raw[at - 1] != '\r')
      continue;
    const std::size_t start = at + kKey.size();
    const std::size_t end = raw.find('"', start);
    if (end == std::string_view::npos)
      return false;
    *value = std::string(raw.substr(start, std::min(end - start, kRtspUrlMaxChars)));
    return true;
  }
  return false;
}

}  // namespace

std::string BuildTerminalRequest(const char* request, std::string_view ip, std::string_view sn) {
  tinyxml2::XMLDocument doc;
  tinyxml2::XMLElement* root = doc.NewElement("root");
  doc.InsertEndChild(root);
  root->SetAttribute("ord", request);
  const bool always = std::string_view(request) == kTerminalRebootAlarmApp;
  if (always || !ip.empty())
    root->SetAttribute("ip", std::string(ip).c_str());
  if (always || !sn.empty())
    root->SetAttribute("sn", std::string(sn).c_str());
  return std::string(kDeclaration) + PrintXml(*root);
}

const std::set<std::string>& ModifyPlatformNames() {
  static const std::set<std::string> names = [] {
    std::set<std::string> n;
    for (const Attribute& a : Attributes()) {
      if (a.rule != Rule::kNever)
        n.insert(a.name);
    }
    return n;
  }();
  return names;
}

int BuildModifyPlatform(const Set& set, std::string* document, const std::set<std::string>* names) {
  std::string text = std::string(kDeclaration) + "<root ord=\"" + kTerminalModifyPlatform + "\" ";
  for (const Attribute& a : Attributes()) {
    const bool wanted =
        names != nullptr ? a.rule != Rule::kNever && names->count(a.name) > 0 : Written(a, set);
    if (!wanted)
      continue;
    std::string fragment = std::string(a.name) + "=\"" + WireValue(a, set) + "\" ";
    if (fragment.size() > kModifyPlatformFragmentMaxBytes)
      return kTerminalFragmentTooLong;
    text += fragment;
  }
  text += "ret=\"ok\" />";
  if (text.size() > kModifyPlatformMaxBytes)
    return kTerminalDocumentTooLong;
  *document = std::move(text);
  return 0;
}

std::string FrameTerminalDocument(std::string_view document) {
  const auto n = static_cast<uint32_t>(document.size());
  std::string frame;
  frame.reserve(4 + document.size());
  frame.push_back(static_cast<char>(n >> 24));
  frame.push_back(static_cast<char>(n >> 16));
  frame.push_back(static_cast<char>(n >> 8));
  frame.push_back(static_cast<char>(n));
  frame.append(document);
  return frame;
}

int ReadTerminalReply(std::string_view body, const char* request, TerminalAnswer* answer) {
  tinyxml2::XMLDocument doc;
  if (doc.Parse(body.data(), body.size()) != tinyxml2::XML_SUCCESS || doc.FirstChild() == nullptr)
    return -1;
  const std::string expected = std::string(request) + "_ret";
  for (const tinyxml2::XMLNode* node = doc.FirstChild(); node != nullptr;
       node = node->NextSibling()) {
    const tinyxml2::XMLElement* element = node->ToElement();
    if (element == nullptr || std::string_view(element->Name()) != "root")
      continue;
    const char* ord = element->Attribute("ord");
    if (ord == nullptr || (expected != ord && std::string_view(ord) != "ok"))
      continue;
    answer->attributes.clear();
    for (const tinyxml2::XMLAttribute* a = element->FirstAttribute(); a != nullptr; a = a->Next()) {
      answer->attributes.emplace(a->Name(), a->Value());
    }
    answer->raw = std::string(body);
    return 0;
  }
  return -2;
}

void FillTerminalParameterSet(const TerminalAnswer& answer, Set* set) {
  for (const Attribute& a : Attributes()) {
    if (a.rule == Rule::kMirrorsAlarmPeriod)
      continue;
    auto it = answer.attributes.find(a.name);
    if (a.text == &Set::rtspUrl) {
      std::string raw;
      if (RawRtspUrl(answer.raw, &raw)) {
        set->rtspUrl = AnsiToUtf8(raw);
        set->rtspUrlAsRead = set->rtspUrl;
      } else if (it != answer.attributes.end()) {
        set->rtspUrl = DecodeText(a, it->second.c_str());
        set->rtspUrlAsRead.clear();
      }
      continue;
    }
    if (it == answer.attributes.end())
      continue;
    if (a.text != nullptr) {
      set->*a.text = DecodeText(a, it->second.c_str());
      continue;
    }
    int value = 0;
    if (tinyxml2::XMLUtil::ToInt(it->second.c_str(), &value)) {
      // Platform tools have always shown this port 5 above the reported one, and installers'
      // site records follow them. The sum wraps as a 16-bit port does, whatever number the
      // device sent (in unsigned arithmetic: a signed one would overflow near INT_MAX).
      set->*a.number = a.number == &Set::accessport
                           ? static_cast<uint16_t>(static_cast<unsigned>(value) + 5u)
                           : value;
    }
  }
}

std::vector<std::pair<std::string, std::string>> TerminalAttributeList(const Set& set) {
  std::vector<std::pair<std::string, std::string>> list;
  for (const Attribute& a : Attributes()) {
    if (a.rule == Rule::kMirrorsAlarmPeriod)
      continue;
    list.emplace_back(a.name, a.text != nullptr ? set.*a.text : std::to_string(set.*a.number));
  }
  return list;
}

bool SetTerminalAttribute(Set* set, const std::string& name, const std::string& value) {
  for (const Attribute& a : Attributes()) {
    if (name != a.name || a.rule == Rule::kMirrorsAlarmPeriod)
      continue;
    if (a.text != nullptr) {
      set->*a.text = value;
      return true;
    }
    int number = 0;
    if (!tinyxml2::XMLUtil::ToInt(value.c_str(), &number))
      return false;
    set->*a.number = number;
    return true;
  }
  return false;
}

bool IsNumericTerminalAttribute(const std::string& name) {
  for (const Attribute& a : Attributes()) {
    if (name == a.name)
      return a.number != nullptr;
  }
  return false;
}

TerminalKeyParameters ReadTerminalKeyParameters(const TerminalAnswer& answer) {
  TerminalKeyParameters keys;
  if (auto it = answer.attributes.find("devname"); it != answer.attributes.end())
    keys.devname = it->second;
  if (auto it = answer.attributes.find("deamontime"); it != answer.attributes.end())
    keys.deamontime = it->second;
  return keys;
}

}  // namespace vdz
