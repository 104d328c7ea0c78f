#include "devconfig/request_bodies.h"

#include "devconfig/xml_escape.h"
#include "shell/bounded_text.h"

namespace vdz {
namespace {

// Collects literal pieces and escaped values; Finish() cuts the text to the buffer size.
class BodyWriter {
 public:
  BodyWriter() { text_.reserve(512); }
  BodyWriter& Literal(std::string_view piece) {
    text_.append(piece);
    return *this;
  }
  BodyWriter& Value(std::string_view value) {
    AppendEscapedXmlAttribute(&text_, value);
    return *this;
  }
  std::string Finish() {
    if (text_.size() > kRequestBodyMaxLength)
      text_.resize(kRequestBodyMaxLength);
    return std::move(text_);
  }

 private:
  std::string text_;
};

}  // namespace

std::string BuildLanConfigBody(std::string_view serial, const LanConfigRecord& lan) {
  BodyWriter w;
  w.Literal("<IPC_SERIALNUMBER\r\nSerialNumber=\"").Value(serial).Literal("\"\r\n/>");
  w.Literal("\r\n");
  w.Literal("<LANConfig\r\n");
  w.Literal("MacAddress=\"").Value(FieldText(lan.MacAddress)).Literal("\"\r\n");
  w.Literal("DHCP=\"").Literal(std::to_string(lan.DHCP)).Literal("\"\r\n");
  w.Literal("IPAddress=\"").Value(FieldText(lan.IPAddress)).Literal("\"\r\n");
  w.Literal("Netmask=\"").Value(FieldText(lan.Netmask)).Literal("\"\r\n");
  w.Literal("Gateway=\"").Value(FieldText(lan.Gateway)).Literal("\"\r\n");
  w.Literal("DNS1=\"").Value(FieldText(lan.DNS1)).Literal("\"\r\n");
  w.Literal("DNS2=\"").Value(FieldText(lan.DNS2)).Literal("\"\r\n");
  w.Literal("/>\r\n");
  return w.Finish();
}

std::string BuildSerialBody(std::string_view serial) {
  BodyWriter w;
  w.Literal("<IPC_SERIALNUMBER SerialNumber=\"").Value(serial).Literal("\" />");
  w.Literal("\r\n");
  return w.Finish();
}

std::string BuildRkConfigBody(std::string_view serial, const RkSystemRecord& rk) {
  BodyWriter w;
  w.Literal("<IPC_SERIALNUMBER SerialNumber=\"").Value(serial).Literal("\" />\r\n");
  w.Literal("<RK_CONFIG>\n<SYSTEM DEVICETYPE=\"").Value(FieldText(rk.DEVICETYPE));
  w.Literal("\" EXTNUMBER=\"").Value(FieldText(rk.EXTNUMBER));
  w.Literal("\" MAINNUMBER=\"").Value(FieldText(rk.MAINNUMBER));
  w.Literal("\" EXTNAME=\"").Value(FieldText(rk.EXTNAME));
  w.Literal("\" ADDRESSBOXIP=\"").Value(FieldText(rk.ADDRESSBOXIP));
  w.Literal("\" NOTES=\"").Value(FieldText(rk.NOTES));
  w.Literal("\" MANAGECENTER=\"").Value(FieldText(rk.MANAGECENTER));
  w.Literal("\" />\n</RK_CONFIG>");
  return w.Finish();
}

std::string BuildPasswordDocument(std::string_view password) {
  BodyWriter w;
  w.Literal("<UserConfig><Account Username=\"admin\" Password=\"").Value(password);
  w.Literal("\" Group=\"Administrator\" Status=\"Enable\" /></UserConfig>");
  return w.Finish();
}

}  // namespace vdz
