#include "media/label_text.h"

#include "shell/bounded_text.h"
#include "shell/text_codec.h"

namespace vdz {
namespace {

template <size_t N>
std::string DeviceText(const char (&field)[N]) {
  return AnsiToUtf8(FieldText(field));
}

}  // namespace

std::string ModelLineText(const std::string& device_type, const std::string& model) {
  if (!model.empty())
    return "MODEL:" + model;
  static const std::string kPrefix = "NVS-IPCAM-";
  std::string type = device_type;
  for (size_t at = type.find(kPrefix); at != std::string::npos; at = type.find(kPrefix, at))
    type.erase(at, kPrefix.size());
  if (const size_t cut = type.find('_'); cut != std::string::npos)
    type.resize(cut);
  return "MODEL:" + type;
}

LabelLines ComposeLabelLines(const DeviceRecord& device, const LabelOptions& options) {
  LabelLines lines;
  if (options.show_model)
    lines.upper.push_back(ModelLineText(DeviceText(device.DeviceType), options.model));
  if (options.show_mac)
    lines.upper.push_back("MAC: " + DeviceText(device.Lan.MacAddress));
  if (options.show_sn)
    lines.upper.push_back("SN: " + DeviceText(device.SerialNumber));
  if (options.show_ip)
    lines.lower.push_back(options.ip.empty() ? DeviceText(device.Lan.IPAddress) : options.ip);
  if (options.show_account) {
    if (options.account.empty()) {
      const UserAccount& first = device.Users.Accounts[0];
      lines.lower.push_back(DeviceText(first.Username) + "  " + DeviceText(first.Password));
    } else {
      lines.lower.push_back(options.account + "  " +
                            (options.password.empty() ? std::string("NULL") : options.password));
    }
  }
  return lines;
}

}  // namespace vdz
