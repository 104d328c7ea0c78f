#include "onvif/wsd_probe.h"

#include "onvif/xml_local.h"

namespace vdz::onvif {

std::string BuildProbe(const std::string& message_id, const std::string& types) {
  std::string text;
  text.reserve(800);
  text += R"(<?xml version="1.0" encoding="UTF-8"?>)";
  text += R"(<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope")";
  text += R"( xmlns:a="http://schemas.xmlsoap.org/ws/2004/08/addressing")";
  text += R"( xmlns:d=")" + std::string(kWsdNamespace) + '"';
  text += R"( xmlns:dn=")" + std::string(kOnvifNetworkNamespace) + '"';
  text += R"( xmlns:tds=")" + std::string(kOnvifDeviceNamespace) + R"(">)";
  text += "<s:Header><a:MessageID>" + EscapeXml(message_id) + "</a:MessageID>";
  text += "<a:To s:mustUnderstand=\"true\">" + std::string(kWsdTo) + "</a:To>";
  text += "<a:Action s:mustUnderstand=\"true\">" + std::string(kWsdProbeAction) + "</a:Action>";
  text += "</s:Header><s:Body><d:Probe><d:Types>" + types + "</d:Types>";
  text += "</d:Probe></s:Body></s:Envelope>";
  return text;
}

}  // namespace vdz::onvif
