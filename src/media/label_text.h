// What a device label says: the options the operator chose and the text lines they give.
#pragma once

#include <string>
#include <vector>

#include "discovery/device_record.h"

namespace vdz {

struct LabelOptions {
  bool show_model = false;
  std::string model;  // UTF-8; empty: taken from the device type
  bool show_mac = false;
  bool show_sn = false;
  bool show_ip = false;
  std::string ip;  // empty: the device's address
  bool show_account = false;
  std::string account;  // empty: the device's first account
  std::string password;
  bool show_pictures = false;
  std::string picture1;
  std::string picture2;
};

struct LabelLines {
  std::vector<std::string> upper;  // model, MAC, serial number: left of and above the QR
  std::vector<std::string> lower;  // address and account: their width bounds the QR
};

// "MODEL:" and the model text, or the device type without "NVS-IPCAM-" cut at its first "_".
std::string ModelLineText(const std::string& device_type, const std::string& model);
// Lines in drawing order, UTF-8 (device texts converted from the device code page).
LabelLines ComposeLabelLines(const DeviceRecord& device, const LabelOptions& options);

}  // namespace vdz
