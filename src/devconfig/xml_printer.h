// The printer for every XML document the system writes: a tab per level, LF line breaks.
#pragma once

#include <tinyxml2.h>

#include <string>

namespace vdz {

class XmlPrinter : public tinyxml2::XMLPrinter {
 public:
  XmlPrinter() : tinyxml2::XMLPrinter(nullptr, /*compact=*/false) {}

 protected:
  void PrintSpace(int depth) override;
};

std::string PrintXml(const tinyxml2::XMLDocument& doc);
std::string PrintXml(const tinyxml2::XMLElement& element);

}  // namespace vdz
