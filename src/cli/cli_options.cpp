#include "cli/cli_options.h"

#include <cstdlib>

#include "devconfig/ipv4_text.h"

namespace vdz::cli {

bool ParseOutputFormat(const std::string& value, OutputFormat* format, std::string* error) {
  if (value == "table") {
    *format = OutputFormat::kTable;
  } else if (value == "csv") {
    *format = OutputFormat::kCsv;
  } else if (value == "json") {
    *format = OutputFormat::kJson;
  } else {
    *error = "--format must be table, csv or json";
    return false;
  }
  return true;
}

bool ParseSearchSeconds(const std::string& value, int* seconds, std::string* error) {
  char* end = nullptr;
  const long n = std::strtol(value.c_str(), &end, 10);
  if (value.empty() || *end != '\0' || n < 1 || n > 86400) {
    *error = "--seconds needs a whole number of seconds";
    return false;
  }
  *seconds = static_cast<int>(n);
  return true;
}

std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args,
                                          std::string* error) {
  if (args.empty()) {
    *error = "no command given";
    return std::nullopt;
  }
  CliOptions options;
  options.command = args[0];
  const bool searches = options.command == "search" || options.command == "login-check";
  if (!searches && options.command != "adapters") {
    *error = "unknown command '" + options.command + "'";
    return std::nullopt;
  }
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& flag = args[i];
    if (flag == "--password-stdin" && searches) {
      options.password_stdin = true;
      continue;
    }
    const bool takes_value = flag == "--seconds" || flag == "--adapter" || flag == "--format" ||
                             flag == "--range" || flag == "--host" || flag == "--protocol" ||
                             flag == "--user" || flag == "--password";
    if (!takes_value || !searches) {
      *error = "unknown option '" + flag + "' for " + options.command;
      return std::nullopt;
    }
    if (i + 1 >= args.size()) {
      *error = "option " + flag + " needs a value";
      return std::nullopt;
    }
    const std::string& value = args[++i];
    if (flag == "--seconds") {
      char* end = nullptr;
      const long seconds = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || seconds < 1 || seconds > 3600) {
        *error = "--seconds needs a whole number from 1 to 3600";
        return std::nullopt;
      }
      options.seconds = static_cast<int>(seconds);
    } else if (flag == "--adapter") {
      options.adapter = value;
    } else if (flag == "--range") {
      AddressRange range;
      if (!ParseAddressRange(value, &range, error))
        return std::nullopt;
      options.ranges.push_back(range);
      options.ranges_given = true;
    } else if (flag == "--host") {
      const auto host = ParseDottedQuad(value);
      if (!host || *host == 0 || *host == 0xFFFFFFFFu) {
        *error = "--host '" + value + "' is not one dotted IPv4 address";
        return std::nullopt;
      }
      options.hosts.push_back(*host);
    } else if (flag == "--protocol") {
      if (value != "ours" && value != "onvif" && value != "all") {
        *error = "--protocol needs ours, onvif or all";
        return std::nullopt;
      }
      options.protocol = value;
    } else if (flag == "--user") {
      options.onvif_user = value;
    } else if (flag == "--password") {
      options.onvif_password = value;
    } else if (!ParseOutputFormat(value, &options.format, error)) {
      return std::nullopt;
    }
  }
  if ((options.onvif_password || options.password_stdin) && options.onvif_user.empty()) {
    *error = "--password and --password-stdin need --user";
    return std::nullopt;
  }
  return options;
}

}  // namespace vdz::cli
