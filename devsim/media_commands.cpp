// The simulator's cameras: their RTSP servers follow the devices, and the control commands
// that show what the cameras were asked to do.
#include <string>

#include "simulator.h"

namespace vdz::devsim {

RtspCameraConfig Simulator::CameraConfig(const SimDevice& d) const {
  RtspCameraConfig c;
  c.key = d.serial;
  c.address = Ipv4Text(d.net.ip);
  c.port = d.video_port;
  c.label = Ipv4Text(d.net.ip);
  for (std::size_t i = 0; i < d.accounts.size(); ++i) {
    const Account& a = d.accounts[i];
    // A device that reports no account still has its admin, with the admin password it
    // really checks.
    std::string user = a.user;
    if (user.empty() && i == 0)
      user = "admin";
    if (user.empty())
      continue;
    const bool real_differs = i == 0 && !d.sdk_password.empty();
    c.accounts.emplace_back(user, real_differs ? d.sdk_password : a.password);
  }
  return c;
}

bool Simulator::StartCamera(const SimDevice& d, std::string* error) {
  if (!rtsp_)
    return true;
  return rtsp_->AddCamera(CameraConfig(d), error);
}

void Simulator::StopCamera(const SimDevice& d) {
  if (rtsp_)
    rtsp_->RemoveCamera(d.serial);
}

std::string Simulator::MediaCommand(const std::string& verb, KvLine& args) {
  auto err = [](const std::string& why) { return "ERR " + why + "\n"; };
  if (verb == "rtsp") {
    if (!rtsp_)
      return "rtsp cameras=0 media=0 made=0\nOK\n";
    return "rtsp cameras=" + std::to_string(rtsp_->CameraCount()) +
           " media=" + std::to_string(rtsp_->ActiveMedia()) +
           " made=" + std::to_string(rtsp_->MediaMade()) + "\nOK\n";
  }
  // ptz-log SERIAL [clear]
  if (args.words.empty())
    return err("usage: " + verb + " SERIAL [clear]");
  auto it = by_serial_.find(args.words[0]);
  if (it == by_serial_.end())
    return err("no device " + args.words[0]);
  const SimDevice& d = devices_[it->second];
  const bool clear = args.words.size() > 1 && args.words[1] == "clear";
  std::string out;
  int seq = 0;
  for (const devserver::PtzCommand& p : sdk_.PtzLog(d.sdk_id, clear)) {
    out += "ptz seq=" + std::to_string(++seq) + " cmd=" + std::to_string(p.command) +
           " pan=" + std::to_string(p.pan_speed) + " tilt=" + std::to_string(p.tilt_speed) +
           " t=" + std::to_string(p.at_ms) + "\n";
  }
  out += "ptz-total sn=" + d.serial + " commands=" + std::to_string(seq) +
         " key-frames=" + std::to_string(sdk_.KeyFrameRequests(d.sdk_id)) + "\n";
  return out + "OK\n";
}

}  // namespace vdz::devsim
