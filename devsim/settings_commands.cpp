// Control commands that show what the simulated devices were told to set: stored documents
// and requests (as hexadecimal, since they hold tabs and line breaks), the clock offset a
// time sync left, and a switch that makes devices refuse settings.
#include "simulator.h"

namespace vdz::devsim {

namespace {

std::string Hex(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char b : bytes) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 0xF];
  }
  return hex;
}

}  // namespace

std::string Simulator::SdkSettingsCommand(const std::string& verb, KvLine& args) {
  if (verb == "sdk-refuse-value") {
    // sdk-refuse-value SERIAL|all ATTRIBUTE VALUE, or SERIAL|all none
    const bool clear = args.words.size() == 2 && args.words[1] == "none";
    if (args.words.size() != 3 && !clear)
      return "ERR sdk-refuse-value SERIAL|all ATTRIBUTE VALUE | none\n";
    int n = 0;
    for (SimDevice& d : devices_) {
      if (args.words[0] != "all" && args.words[0] != d.serial)
        continue;
      ++n;
      sdk_.SetRefusedValue(d.sdk_id, clear ? std::string() : args.words[1],
                           clear ? std::string() : args.words[2]);
    }
    return n == 0 ? "ERR no device " + args.words[0] + "\n" : "OK\n";
  }
  const std::string usage =
      "sdk-document|sdk-system SERIAL N, sdk-clock SERIAL, "
      "sdk-refuse-settings SERIAL|all 0|1, sdk-refuse-system SERIAL|all N 0|1";
  if (args.words.empty())
    return "ERR " + usage + "\n";
  const std::string& target = args.words[0];
  long long number = 0;
  long long refuse = 0;
  const bool needs_number = verb != "sdk-clock";
  const std::size_t words = verb == "sdk-refuse-system" ? 3 : 2;
  if (needs_number &&
      (args.words.size() != words || !ParseInt(args.words[1], -1, 1 << 20, &number) ||
       (words == 3 && !ParseInt(args.words[2], 0, 1, &refuse))))
    return "ERR " + usage + "\n";
  std::string out;
  int n = 0;
  for (SimDevice& d : devices_) {
    if (target != "all" && target != d.serial)
      continue;
    ++n;
    if (verb == "sdk-refuse-settings") {
      sdk_.SetRefuseSettings(d.sdk_id, number != 0);
      continue;
    }
    if (verb == "sdk-refuse-system") {
      sdk_.RefuseSystemCommand(d.sdk_id, static_cast<int>(number), refuse != 0);
      continue;
    }
    if (verb == "sdk-clock") {
      out += "clock sn=" + QuoteKvValue(d.serial) +
             " offset=" + std::to_string(sdk_.ClockOffset(d.sdk_id).value_or(0)) + "\n";
      continue;
    }
    const int command = static_cast<int>(number);
    const auto text = verb == "sdk-document" ? sdk_.Document(d.sdk_id, command)
                                             : sdk_.LastSystemControl(d.sdk_id, command);
    if (!text)
      return "ERR no " + verb.substr(4) + " " + std::to_string(command) + " on " + d.serial + "\n";
    out += "document sn=" + QuoteKvValue(d.serial) + " command=" + std::to_string(command) +
           " hex=" + Hex(*text) + "\n";
  }
  if (n == 0)
    return "ERR no device " + target + "\n";
  return out + "OK\n";
}

}  // namespace vdz::devsim
