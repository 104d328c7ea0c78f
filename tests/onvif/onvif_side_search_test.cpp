#include "onvif/onvif_side_search.h"

#include <gtest/gtest.h>

#include "onvif/xaddr_choice.h"

namespace vdz::onvif {
namespace {

// A camera's web page is opened at the port of the device service it was found at.
TEST(OnvifRecord, WebPortIsTheDeviceServicePort) {
  struct Case {
    const char* url;
    int port;
  } cases[] = {{"http://10.0.0.5/onvif/device_service", 80},
               {"http://10.0.0.5:8080/onvif/device_service", 8080},
               {"HTTPS://10.0.0.5/onvif/device_service", 443},
               {"https://10.0.0.5:8443", 8443},
               {"http://[fe80::1]/onvif/device_service", 80},
               {"http://[fe80::1]:81/onvif/device_service", 81},
               {"http://10.0.0.5:99999/", 0},
               {"http://10.0.0.5:/", 80},
               {"ftp://10.0.0.5:21/", 0},
               {"", 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(UrlPort(c.url), c.port) << c.url;
    OnvifKnown known;
    known.entry.device_url = c.url;
    EXPECT_EQ(OnvifRecord(known).Stream.WEBPort, c.port != 0 ? c.port : 80) << c.url;
  }
}

}  // namespace
}  // namespace vdz::onvif
