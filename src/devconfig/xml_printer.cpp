#include "devconfig/xml_printer.h"

namespace vdz {

void XmlPrinter::PrintSpace(int depth) {
  for (int i = 0; i < depth; ++i)
    Putc('\t');
}

namespace {

std::string Take(const XmlPrinter& printer) {
  // CStrSize() counts the terminating NUL.
  const int size = printer.CStrSize();
  return size > 1 ? std::string(printer.CStr(), static_cast<std::size_t>(size - 1)) : std::string();
}

}  // namespace

std::string PrintXml(const tinyxml2::XMLDocument& doc) {
  XmlPrinter printer;
  doc.Print(&printer);
  return Take(printer);
}

std::string PrintXml(const tinyxml2::XMLElement& element) {
  XmlPrinter printer;
  element.Accept(&printer);
  return Take(printer);
}

}  // namespace vdz
