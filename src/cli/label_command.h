// viduzaver-cli label: the label window's drawing, written to a PDF file for one device.
#pragma once

#include <string>
#include <vector>

#include "media/label_text.h"

namespace vdz::cli {

struct LabelCommandOptions {
  std::string target;  // serial number or address
  std::string out;     // the PDF file
  LabelOptions label;
  int seconds = 0;
  std::string adapter;
};

// False and *error for bad arguments.
bool ParseLabelOptions(const std::vector<std::string>& args, LabelCommandOptions* options,
                       std::string* error);
// 0 written, 1 not found or not written, 2 bad arguments.
int RunLabelCommand(const std::vector<std::string>& args);

}  // namespace vdz::cli
