// viduzaver-cli streams on a site of one of our devices and three ONVIF cameras: each camera's
// two profiles with the simulator's own stream addresses, which ffprobe (a client not ours)
// opens at the stated size; our device's main and sub stream; names nobody answers to.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <map>
#include <string>
#include <vector>

#include "lab/cli_process.h"
#include "lab/devsim_control.h"
#include "lab/onvif_lab_support.h"

namespace vdz {
namespace {

constexpr int kCameras = 3;
// The simulator's stream paths: main stream first, sub stream second.
constexpr const char* kPaths[] = {"/live/0", "/live/1"};

QJsonArray Streams(const std::string& args, int* status) {
  const lab::CliRun r = lab::RunShell(std::string("VDZ_ONVIF_PASSWORD=admin ") + VDZ_CLI +
                                      " streams --seconds 3 --format json --user admin " + args);
  *status = r.status;
  return QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).array();
}

TEST(StreamsCliLab, ListsEachCamerasProfilesWithAddressesAPeerPlays) {
  const auto cameras = lab::OnvifCameras(lab::DevsimControl::FromEnvironment());
  ASSERT_EQ(cameras.size(), static_cast<std::size_t>(kCameras));
  int status = -1;
  const QJsonArray lines = Streams("--all", &status);
  EXPECT_EQ(status, 0);
  std::map<std::string, std::vector<QJsonObject>> by_ip;
  for (const auto& value : lines)
    by_ip[value.toObject()["ip"].toString().toStdString()].push_back(value.toObject());
  for (const auto& camera : cameras) {
    const auto& profiles = by_ip[camera.at("ip")];
    ASSERT_EQ(profiles.size(), 2u) << camera.at("ip");
    for (std::size_t p = 0; p < profiles.size(); ++p) {
      EXPECT_EQ(profiles[p]["protocol"].toString(), "onvif");
      EXPECT_EQ(profiles[p]["serial"].toString().toStdString(), camera.at("serial"));
      EXPECT_EQ(profiles[p]["rtsp"].toString().toStdString(),
                "rtsp://" + camera.at("ip") + ":" + camera.at("rtsp-port") + kPaths[p]);
      EXPECT_EQ(profiles[p]["note"].toString(), "");
    }
  }
  const auto ours = lab::DevsimControl::FromEnvironment().Devices();
  ASSERT_EQ(ours.size(), 1u);
  ASSERT_EQ(by_ip[ours[0].ip].size(), 1u);
  const QJsonObject our = by_ip[ours[0].ip][0];
  EXPECT_EQ(our["protocol"].toString(), "ours");
  for (const char* key : {"rtsp", "sub_rtsp"}) {
    const std::string url = our[key].toString().toStdString();
    EXPECT_TRUE(url.starts_with("rtsp://" + ours[0].ip + ":")) << url;
    EXPECT_TRUE(url.ends_with(kPaths[std::string(key) == "rtsp" ? 0 : 1])) << url;
  }

  // The first line's address as another client reads it, with the camera's account.
  const QJsonObject first = by_ip[cameras[0].at("ip")][0];
  std::string url = first["rtsp"].toString().toStdString();
  url.insert(std::string("rtsp://").size(), "admin:admin@");
  const lab::CliRun probe = lab::RunShell(
      "timeout 30 ffprobe -v error -rtsp_transport tcp -select_streams v:0 -show_entries "
      "stream=width,height -of csv=s=x:p=0 '" +
      url + "'");
  ASSERT_EQ(probe.status, 0);
  EXPECT_EQ(probe.out.substr(0, probe.out.find_last_not_of("\n") + 1),
            first["resolution"].toString().toStdString());
}

TEST(StreamsCliLab, NamedDevicesAndNamesNobodyAnswersTo) {
  const auto camera = lab::OnvifCameras(lab::DevsimControl::FromEnvironment()).at(1);
  struct Case {
    std::string args;
    int status;
    std::size_t lines;
    const char* note;  // of the last line
  } const cases[] = {
      {camera.at("serial"), 0, 2, ""},
      {camera.at("ip") + " 192.168.1.249", 1, 3, "not found"},
      {"", 2, 0, ""},
  };
  for (const Case& c : cases) {
    int status = -1;
    const QJsonArray lines = Streams(c.args, &status);
    EXPECT_EQ(status, c.status) << c.args;
    ASSERT_EQ(static_cast<std::size_t>(lines.size()), c.lines) << c.args;
    if (c.lines > 0) {
      EXPECT_EQ(lines.last().toObject()["note"].toString().toStdString(), c.note) << c.args;
    }
  }
}

}  // namespace
}  // namespace vdz
