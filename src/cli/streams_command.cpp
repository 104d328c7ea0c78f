#include "cli/streams_command.h"

#include <iostream>
#include <optional>

#include "cli/cli_help.h"
#include "cli/cli_options.h"
#include "cli/device_search.h"
#include "cli/record_printer.h"
#include "devconfig/ipv4_text.h"
#include "discovery/device_list_columns.h"
#include "rtspclient/rtsp_url.h"
#include "shell/bounded_text.h"

namespace vdz::cli {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr RecordColumn kColumns[] = {
    device_columns::kIp,
    device_columns::kSerial,
    device_columns::kProtocol,
    {"PROFILE", "profile"},
    {"PROFILE NAME", "profile_name"},
    {"RESOLUTION", "resolution"},
    {"ENCODING", "encoding"},
    {"RTSP", "rtsp"},
    // Our devices: the sub stream beside the main one on the same line.
    {"SUB RTSP", "sub_rtsp"},
    // Why a device gave no address; empty when it did.
    {"NOTE", "note"},
};
enum Cell {
  kIp,
  kSerial,
  kProtocol,
  kProfile,
  kProfileName,
  kResolution,
  kEncoding,
  kRtsp,
  kSub,
  kNote,
  kCellCount
};

struct StreamsOptions {
  std::vector<std::string> targets;
  bool all = false;
  int seconds = 0;
  std::string adapter;
  OutputFormat format = OutputFormat::kTable;
  std::string user;
  std::optional<std::string> password;
  bool password_stdin = false;
};

bool Parse(const std::vector<std::string>& args, StreamsOptions* o, std::string* error) {
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.rfind("--", 0) != 0) {
      o->targets.push_back(a);
      continue;
    }
    if (a == "--all" || a == "--password-stdin") {
      (a == "--all" ? o->all : o->password_stdin) = true;
      continue;
    }
    const bool valued = a == "--seconds" || a == "--adapter" || a == "--format" || a == "--user" ||
                        a == "--password";
    if (!valued || i + 1 >= args.size()) {
      *error = valued ? "option " + a + " needs a value" : "unknown option '" + a + "' for streams";
      return false;
    }
    const std::string& v = args[++i];
    if (a == "--seconds") {
      if (!ParseSearchSeconds(v, &o->seconds, error))
        return false;
    } else if (a == "--adapter") {
      o->adapter = v;
    } else if (a == "--user") {
      o->user = v;
    } else if (a == "--password") {
      o->password = v;
    } else if (!ParseOutputFormat(v, &o->format, error)) {
      return false;
    }
  }
  if (o->targets.empty() == !o->all) {
    *error = "streams needs devices (serial numbers or addresses) or --all";
    return false;
  }
  if ((o->password || o->password_stdin) && o->user.empty()) {
    *error = "--password and --password-stdin need --user";
    return false;
  }
  return true;
}

RecordCells DeviceCells(const DeviceRow& row) {
  RecordCells cells(kCellCount);
  cells[kIp] = FieldText(row.record.Lan.IPAddress);
  cells[kSerial] = FieldText(row.record.SerialNumber);
  cells[kProtocol] = ProtocolName(row.protocol);
  return cells;
}

// Why an identified camera gave no stream address, or empty.
std::string MissingStreams(const onvif::OnvifIdentity& id) {
  if (id.login_failed)
    return id.login_error;
  if (!id.reachable)
    return "no answer: " + id.error;
  if (id.profiles.empty())
    return id.error.empty() ? "no media profile" : "no media profile: " + id.error;
  return {};
}

// Appends the device's lines; false when it gave no stream address.
bool AddDevice(const DeviceRow& row, const onvif::OnvifSideSearch* onvif,
               std::vector<RecordCells>* records) {
  RecordCells cells = DeviceCells(row);
  if (row.protocol == kProtocolOurs) {
    // The addresses the preview opens, without the account it logs in with.
    const int port = row.record.Stream.VideoPort;
    if (port < 1 || port > 65535) {
      cells[kNote] = "not an ONVIF device";
      records->push_back(std::move(cells));
      return false;
    }
    for (const int stream : {0, 1}) {
      cells[stream == 0 ? kRtsp : kSub] =
          rtsp::BuildUrl(cells[kIp], port, "", "", rtsp::DefaultStreamPath(stream), false);
    }
    records->push_back(std::move(cells));
    return true;
  }
  const auto known = onvif ? onvif->FindByAddress(cells[kIp]) : std::nullopt;
  const std::string missing = !known || !known->identity ? "not identified within the search"
                                                         : MissingStreams(*known->identity);
  if (!missing.empty()) {
    cells[kNote] = missing;
    records->push_back(std::move(cells));
    return false;
  }
  bool every_one = true;
  for (const onvif::OnvifProfile& profile : known->identity->profiles) {
    RecordCells line = cells;
    line[kProfile] = profile.token;
    line[kProfileName] = profile.name;
    if (profile.width > 0 && profile.height > 0)
      line[kResolution] = std::to_string(profile.width) + "x" + std::to_string(profile.height);
    line[kEncoding] = profile.encoding;
    line[kRtsp] = profile.stream_uri;
    if (profile.stream_uri.empty()) {
      line[kNote] = "no stream address";
      every_one = false;
    }
    records->push_back(std::move(line));
  }
  return every_one;
}

}  // namespace

bool IsStreamsCommand(const std::string& command) {
  return command == "streams";
}

int RunStreamsCommand(const std::vector<std::string>& args) {
  StreamsOptions o;
  std::string error;
  if (!Parse(args, &o, &error)) {
    std::cerr << "viduzaver-cli: " << error << "\n" << Usage();
    return kExitUsage;
  }
  SearchRequest request(o.seconds, o.adapter);
  request.onvif_accounts = OnvifAccounts(o.user, o.password, o.password_stdin);
  request.hosts = RoutedTargets(o.targets);
  const SearchOutcome found = SearchDevices(request, &std::cerr);
  if (found.status != 0) {
    std::cerr << "viduzaver-cli: " << found.error << "\n";
    return found.status == 2 ? kExitUsage : kExitFailed;
  }
  std::vector<RecordCells> records;
  bool every_one = true;
  if (o.all) {
    for (const DeviceRow& row : found.rows)
      every_one = AddDevice(row, found.onvif.get(), &records) && every_one;
  }
  for (const std::string& target : o.targets) {
    if (const DeviceRow* row = FindDevice(found.rows, target)) {
      every_one = AddDevice(*row, found.onvif.get(), &records) && every_one;
      continue;
    }
    RecordCells cells(kCellCount);
    cells[ParseDottedQuad(target) ? kIp : kSerial] = target;
    cells[kNote] = "not found";
    records.push_back(std::move(cells));
    every_one = false;
  }
  PrintRecords(std::cout, std::vector<RecordColumn>(std::begin(kColumns), std::end(kColumns)),
               records, o.format, "");
  if (found.rows.empty()) {
    std::cerr << "viduzaver-cli: no device found\n";
    return kExitFailed;
  }
  return every_one ? kExitOk : kExitFailed;
}

}  // namespace vdz::cli
