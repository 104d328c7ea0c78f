#include "cli/cli_help.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#ifndef VDZ_VERSION
#define VDZ_VERSION "0"
#endif

namespace vdz::cli {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr const char* kDeviceArgument = "SERIAL|IP";
constexpr const char* kSecondsForm = "--seconds N";
constexpr const char* kAdapterForm = "--adapter ADDR";
constexpr const char* kFormatForm = "--format table|csv|json";
// They move configuration and firmware files and print one result line per device.
constexpr std::string_view kTransferCommands[] = {"upgrade", "export-config", "import-config",
                                                  "factory-restore"};

const CommandHelp* FindCommand(const std::string& name) {
  const auto& table = CommandHelpTable();
  const auto it = std::find_if(table.begin(), table.end(),
                               [&](const CommandHelp& c) { return name == c.name; });
  return it == table.end() ? nullptr : &*it;
}

bool IsHelpFlag(const std::string& arg) {
  return arg == "--help" || arg == "-h";
}

}  // namespace

const std::vector<CommandHelp>& CommandHelpTable() {
  static const std::vector<CommandHelp> table = {
      {"search",
       "viduzaver-cli search [--seconds N] [--adapter ADDR] [--range CIDR|A-B]... [--host A]... "
       "[--protocol ours|onvif|all] [--user U [--password P|--password-stdin]] "
       "[--format table|csv|json]",
       "Searches every adapter (or the one at ADDR) like the window does and prints every device "
       "found. Without --seconds the search stops by itself after about seven seconds. Each "
       "--range (10.2.0.0/22 or 10.2.0.1-10.2.0.200, at most 4096 addresses) is also asked "
       "address by address, for devices behind a router, instead of the settings file's "
       "[SEARCH] Ranges; --host asks only the given addresses and broadcasts nothing. Other "
       "makers' ONVIF devices are found beside ours (--protocol chooses) and identified with "
       "the account --user names, its password from --password, standard input or "
       "VDZ_ONVIF_PASSWORD, else with the accounts the window keeps."},
      {"login-check",
       "viduzaver-cli login-check [--seconds N] [--adapter ADDR] [--range CIDR|A-B]... "
       "[--host A]... [--format table|csv|json]",
       "Searches, logs each device in with the account it reported, and shows whether it came "
       "online and its firmware version."},
      {"adapters", "viduzaver-cli adapters",
       "Lists the workstation's adapters and the address parameters new device addresses are "
       "seeded from."},
      {"set-ip",
       "viduzaver-cli set-ip SERIAL|IP --ip A --mask M --gateway G [--dns1 D] [--dns2 D]\n"
       "viduzaver-cli set-ip SERIAL|IP --dhcp [--ip A --mask M --gateway G ...]",
       "Gives one device new network parameters, checked like the IP dialog checks them. "
       "Another maker's ONVIF camera takes a fixed address by its own protocol and counts as "
       "moved once it answers at the new one (account from VDZ_ONVIF_USER and "
       "VDZ_ONVIF_PASSWORD, else the kept accounts)."},
      {"assign-free", "viduzaver-cli assign-free SERIAL|IP...",
       "Gives each named device an address nobody answers on, in the workstation's subnet."},
      {"assign-consecutive",
       "viduzaver-cli assign-consecutive --start A [--mask M --gateway G --dns1 D --dns2 D "
       "--dhcp] SERIAL|IP...",
       "Gives the named devices consecutive addresses from A on, skipping taken ones."},
      {"reboot", "viduzaver-cli reboot SERIAL|IP...",
       "Restarts the named devices, ONVIF cameras of other makers included."},
      {"restore", "viduzaver-cli restore SERIAL|IP...",
       "Restores the named devices' factory network settings."},
      {"upgrade",
       "viduzaver-cli upgrade --file IMAGE|--folder DIR [--timeout S] SERIAL|IP...|--all",
       "Upgrades the named (or all) devices with one image, or each with the image of its model "
       "from DIR, showing progress; waits for every device to end."},
      {"export-config", "viduzaver-cli export-config [--dir DIR] SERIAL|IP...|--all",
       "Saves each device's configuration as config_<serial>_<ip>.xml in DIR (default: the "
       "per-user configuration folder)."},
      {"import-config", "viduzaver-cli import-config FILE SERIAL|IP...|--all",
       "Loads the configuration FILE into each named device."},
      {"factory-restore", "viduzaver-cli factory-restore [--yes] SERIAL|IP...",
       "Restores the devices' factory configuration and restarts them; asks first unless "
       "--yes."},
      {"label",
       "viduzaver-cli label SERIAL|IP --out FILE.pdf [--model T] [--mac] [--sn] [--ip [A]] "
       "[--account [U P]]",
       "Draws the label window's label of one device into a 60 x 40 mm PDF page: the model "
       "line (T, or the device type without NVS-IPCAM- cut at its first _), MAC address, serial "
       "number, the address (A or the device's), the account (U and P, NULL for an empty P, or "
       "the device's first account) and the QR Code of the device's P2P identifier."},
      {"snapshot-stream",
       "viduzaver-cli snapshot-stream SERIAL|IP [--stream 0|1] --out FILE.png [--timeout S]",
       "Opens the device's live stream (0 the main stream, the default; 1 the sub stream) with "
       "the preview's own RTSP client and decoder and saves the first decoded picture, at the "
       "stream's size, as FILE.png. Gives up after S seconds without a picture (default 15)."},
      {"set",
       "viduzaver-cli set time-sync SERIAL|IP...|--all\n"
       "viduzaver-cli set language en_us|zh_cn|zh_tw SERIAL|IP...|--all\n"
       "viduzaver-cli set output 0|1 SERIAL|IP...|--all\n"
       "viduzaver-cli set encoding H264|H265 SERIAL|IP...|--all\n"
       "viduzaver-cli set password --new P SERIAL|IP...|--all\n"
       "viduzaver-cli set title --text T [--add-ip] [--add-model] [--add-serial] "
       "SERIAL|IP...|--all\n"
       "viduzaver-cli set ntp [--server S] [--port N] [--interval N] [--zone +08:00] "
       "SERIAL|IP...|--all\n"
       "viduzaver-cli set maintenance --day N --time HH:MM:SS|off SERIAL|IP...|--all",
       "Sends one batch setting to the named (or all) devices, with the documents and checks of "
       "the window's batch settings: time sync with the computer's clock, device language, "
       "alarm output, encoding format of both streams, admin password (for an ONVIF camera: of the "
       "account it was logged in with), OSD title (the text, "
       "then the model, address and serial when asked), NTP time settings (port 1-65535, "
       "interval 60-999999 s, server an address or host name; defaults pool.ntp.org, 123, 60, "
       "+08:00; an ONVIF camera takes the server alone) and scheduled maintenance (day 0 Monday to "
       "6 Sunday, 7 every day). Time sync, password and NTP reach ONVIF cameras; the other "
       "settings skip them as not supported. Also takes "
       "--format table|csv|json; one result line per device."},
      {"snapshot",
       "viduzaver-cli snapshot SERIAL|IP...|--all [--dir DIR] [--format table|csv|json]",
       "Asks each device for a picture, waits for it and saves it under DIR/<address> (default: "
       "the documents folder's snap folder); another maker's ONVIF camera is not logged in: its "
       "snapshot address is fetched with HTTP Digest and saved as YYYYMMDDhhmmss.jpg. One line "
       "per device with the saved file or the failure."},
      {"streams",
       "viduzaver-cli streams SERIAL|IP...|--all [--format table|csv|json] [--user U] "
       "[--password P|--password-stdin]",
       "Prints the live stream addresses of the named (or all) devices: for another maker's "
       "ONVIF camera one line per media profile with its token and name, resolution, encoding "
       "and RTSP address, read with the account U (its password from --password, standard "
       "input or VDZ_ONVIF_PASSWORD; without --user the accounts kept in the settings); for "
       "our devices one line with the main and sub stream addresses the preview opens."},
      {"qr", "viduzaver-cli qr SERIAL|IP [--out FILE.png]",
       "Shows the device's P2P identifier as a QR symbol on the terminal, or saves it as a PNG "
       "picture."},
      {"terminal",
       "viduzaver-cli terminal get SERIAL|IP [--format table|csv|json]\n"
       "viduzaver-cli terminal set SERIAL|IP...|--all --set NAME=VALUE [--set NAME=VALUE ...]\n"
       "viduzaver-cli terminal restart SERIAL|IP...|--all",
       "The terminal service of intercom and broadcast devices (TCP 2220): get prints one "
       "device's parameter set; set writes only the named attributes (accessip, devname, "
       "talkCapVol, ftpIp, ...) to each device; restart restarts the service on each device. "
       "set and restart act on devices that log in, like the window's buttons."},
      {"broadcast",
       "viduzaver-cli broadcast FILE.mp3... SERIAL|IP...|--all [--codec pcm|g711u|aac] "
       "[--rate 8000|16000|32000|48000] [--transport udp|tcp|multicast] [--loop N]",
       "Broadcasts the MP3 play list to the named (or all) devices in real time, with the talk "
       "console's decoder and pacing, N times through the list (default once; Ctrl-C stops), "
       "showing the file, position and joined devices. Defaults: pcm, 32000 Hz, udp. AAC is "
       "sent in stereo, the others in mono. Also takes --format table|csv|json; one result line "
       "per device (joined, busy, format refused, no talk, no answer, offline)."},
      {"audio-files",
       "viduzaver-cli audio-files list [--app] SERIAL|IP...|--all\n"
       "viduzaver-cli audio-files upload --file F [--file F...] SERIAL|IP...|--all\n"
       "viduzaver-cli audio-files delete --file NAME [--file NAME...] SERIAL|IP...|--all\n"
       "viduzaver-cli audio-files play --file NAME SERIAL|IP...|--all\n"
       "viduzaver-cli audio-files stop SERIAL|IP...|--all",
       "The audio and application files stored on devices: list them (MP3 files, or the "
       "application files with --app), upload files (names ending in .mp3, in any case, go to "
       "the audio folder, the rest as application files; one after the other, each waiting for "
       "the device to store it), delete stored files by the name the list shows, and play or "
       "stop a stored MP3 file on the device. Also takes --format table|csv|json."},
  };
  return table;
}

std::vector<std::string> SharedOptionForms(const CommandHelp& command) {
  std::vector<std::string> forms;
  if (std::string_view(command.usage).find(kDeviceArgument) != std::string_view::npos) {
    forms.push_back(kSecondsForm);
    forms.push_back(kAdapterForm);
  }
  if (std::find(std::begin(kTransferCommands), std::end(kTransferCommands),
                std::string_view(command.name)) != std::end(kTransferCommands))
    forms.push_back(kFormatForm);
  return forms;
}

std::vector<std::string> UsageNotes() {
  return {
      std::string("The device commands search first and also take ") + kSecondsForm + " and " +
          kAdapterForm + "; the transfer commands (" + std::string(kTransferCommands[0]) + " to " +
          std::string(std::end(kTransferCommands)[-1]) + ") also take " + kFormatForm + ".",
      "Commands acting on several devices end their table with the line the window shows after "
      "a batch: n succeeded, n failed, n skipped (skipped: the device never came online, or it "
      "is another maker's device without that command).",
      "Device commands identify ONVIF devices with VDZ_ONVIF_USER and VDZ_ONVIF_PASSWORD from "
      "the environment, then the accounts the window keeps.",
      "viduzaver-cli help COMMAND and viduzaver-cli COMMAND --help describe one command;\n"
      "viduzaver-cli --version prints the version.",
  };
}

const std::vector<ExitStatusHelp>& ExitStatusTable() {
  static const std::vector<ExitStatusHelp> table = {
      {kExitOk, "success"},
      {kExitFailed, "the command could not run or a device failed"},
      {kExitUsage, "bad arguments"},
  };
  return table;
}

const char* OverviewForm() {
  return "viduzaver-cli COMMAND [OPTIONS]";
}

std::string Usage() {
  std::string text = std::string("usage: ") + OverviewForm() + "\n\n";
  for (const CommandHelp& c : CommandHelpTable()) {
    std::string usage = c.usage;
    std::size_t at = 0;
    while (at < usage.size()) {
      const std::size_t end = std::min(usage.find('\n', at), usage.size());
      text += "  " + usage.substr(at, end - at) + "\n";
      at = end + 1;
    }
  }
  text += "\n";
  for (const std::string& note : UsageNotes())
    text += note + "\n";
  text += "Exit status:";
  const auto& statuses = ExitStatusTable();
  for (std::size_t i = 0; i < statuses.size(); ++i) {
    text += (i == 0 ? " " : ", ") + std::to_string(statuses[i].status) + " " + statuses[i].meaning;
  }
  text += ".\n";
  return text;
}

std::optional<int> RunHelpOrVersion(const std::vector<std::string>& args, std::ostream& out,
                                    std::ostream& err) {
  if (args.empty())
    return std::nullopt;
  if (args[0] == "--version") {
    out << "viduzaver-cli " VDZ_VERSION "\n";
    return kExitOk;
  }
  std::string topic;
  if (IsHelpFlag(args[0]) || args[0] == "help") {
    if (args.size() > 1)
      topic = args[1];
  } else if (std::any_of(args.begin() + 1, args.end(), IsHelpFlag)) {
    topic = args[0];
  } else {
    return std::nullopt;
  }
  if (topic.empty()) {
    out << Usage();
    return kExitOk;
  }
  const CommandHelp* command = FindCommand(topic);
  if (command == nullptr) {
    err << "viduzaver-cli: unknown command '" << topic << "'\n" << Usage();
    return kExitUsage;
  }
  out << "usage: " << command->usage << "\n\n" << command->summary << "\n";
  return kExitOk;
}

}  // namespace vdz::cli
