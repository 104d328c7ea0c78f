// The simulator's ONVIF cameras without a network: site lines, Probe matching and the
// token arithmetic.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "onvif_auth.h"
#include "site.h"
#include "wsd_responder.h"

namespace vdz::devsim {
namespace {

TEST(DevsimOnvifTest, PasswordDigestMatchesAnIndependentComputation) {
  // Base64(SHA-1(nonce + created + password)) as Python's hashlib gives it.
  EXPECT_EQ(PasswordDigest("0123456789abcdef", "2026-12-09T10:00:00Z", "admin"),
            "qtM0uaA5pIAfW8fccZblhd59jW8=");
  int64_t ms = 0;
  ASSERT_TRUE(ParseXsDateTime("2026-12-09T11:00:00.250+01:00", &ms));
  EXPECT_EQ(XsDateTime(ms), "2026-12-09T10:00:00Z");
  EXPECT_EQ(ms % 1000, 250);
  EXPECT_FALSE(ParseXsDateTime("yesterday", &ms));
}

TEST(DevsimOnvifTest, SiteLinesMakeCamerasAndSpreadEveryMisbehaviour) {
  Site site;
  std::string error;
  ASSERT_TRUE(ReadSiteText(
      "generate devices=3\n"
      "generate-onvif cameras=10 first-ip=192.168.1.11 spread=1\n"
      "onvif ip=192.168.1.99 serial=X1 uuid=u-1 maker=Acme model=\"Cam 1\" password=pw "
      "misbehave=clock-skew=60,digest-only\n"
      "onvif-misbehave X1 duplicate\n",
      {}, 0, &site, &error))
      << error;
  ASSERT_EQ(site.onvif.cameras.size(), 11u);
  std::set<uint32_t> addresses;
  for (const SimDevice& d : site.devices)
    addresses.insert(d.net.ip);
  for (std::size_t i = 0; i < 10; ++i) {
    const OnvifCamera& c = site.onvif.cameras[i];
    EXPECT_TRUE(addresses.insert(c.net.ip).second) << "cameras skip the devices' addresses";
    EXPECT_EQ(OnvifMisbehaviourText(c.misbehave),
              i < std::size(kOnvifMisbehaviourWords) ? kOnvifMisbehaviourWords[i] : "none");
  }
  const OnvifCamera& x = site.onvif.cameras.back();
  EXPECT_EQ(x.model, "Cam 1");
  EXPECT_EQ(RealPassword(x, "admin"), "pw");
  EXPECT_EQ(OnvifMisbehaviourText(x.misbehave), "digest-only,clock-skew=60");
  ASSERT_EQ(site.onvif.misbehaviour.size(), 1u);
  EXPECT_EQ(site.onvif.misbehaviour[0].second, "duplicate");

  for (const char* bad : {"onvif serial=X", "onvif ip=192.168.1.5 colour=red",
                          "generate-onvif cameras=x", "onvif-misbehave all sneeze"}) {
    Site s;
    EXPECT_FALSE(ReadSiteText(bad, {}, 0, &s, &error)) << bad;
  }
}

TEST(DevsimOnvifTest, ProbeTypesMatchByNamespaceNotPrefix) {
  OnvifCamera camera = MakeOnvifCamera(1, 0xC0A80196u, {});
  auto probe = [](const std::string& types) {
    std::string why;
    return ReadProbe(
        "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\" "
        "xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\"><s:Header><a:MessageID>"
        "urn:uuid:1</a:MessageID></s:Header><s:Body><Probe "
        "xmlns=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\" "
        "xmlns:x=\"http://www.onvif.org/ver10/network/wsdl\" "
        "xmlns:y=\"http://www.onvif.org/ver10/device/wsdl\" "
        "xmlns:p=\"http://schemas.xmlsoap.org/ws/2006/02/devprof\">" +
            types + "</Probe></s:Body></s:Envelope>",
        &why);
  };
  const struct {
    const char* types;
    bool matches;
  } cases[] = {
      {"<Types>x:NetworkVideoTransmitter</Types>", true},
      {"<Types>y:Device x:NetworkVideoTransmitter</Types>", true},
      {"<Types>p:Device</Types>", false},
      {"<Types>x:NetworkVideoDisplay</Types>", false},
      {"<Types>z:NetworkVideoTransmitter</Types>", false},  // undeclared prefix
      {"", true},
  };
  for (const auto& c : cases) {
    const auto p = probe(c.types);
    ASSERT_TRUE(p) << c.types;
    EXPECT_EQ(ProbeMatchesCamera(*p, camera), c.matches) << c.types;
  }
  camera.misbehave.no_typeless = true;
  EXPECT_FALSE(ProbeMatchesCamera(*probe(""), camera));
}

}  // namespace
}  // namespace vdz::devsim
