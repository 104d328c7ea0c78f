// The settings documents a simulated device holds from the factory, as its firmware writes
// them (tabs, blank-padded times and all), so the settings pages have something to show.
#pragma once

#include <map>
#include <string>

namespace vdz::devserver {

std::map<int, std::string> FactorySettingsDocuments();

}  // namespace vdz::devserver
