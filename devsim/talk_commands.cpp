// Control commands of the devices' talk and audio files:
//   talk [SERIAL|all]                           what each device received in its talk, and
//                                               the longest wait between packets over all talks
//   talk-fault SERIAL|all none|busy|not-supported
//   audio-files [SERIAL|all]                    stored MP3 and application files, playing file
#include "simulator.h"

namespace vdz::devsim {

namespace {

std::string Err(const std::string& why) {
  return "ERR " + why + "\n";
}

bool ParseTalkFault(const std::string& word, devserver::TalkFault* fault) {
  if (word == "none")
    *fault = devserver::TalkFault::kNone;
  else if (word == "busy")
    *fault = devserver::TalkFault::kBusy;
  else if (word == "not-supported")
    *fault = devserver::TalkFault::kNotSupported;
  else
    return false;
  return true;
}

}  // namespace

std::string Simulator::TalkCommand(const std::string& verb, KvLine& args) {
  const std::string target = args.words.empty() ? "all" : args.words[0];
  devserver::TalkFault fault = devserver::TalkFault::kNone;
  if (verb == "talk-fault" && (args.words.size() != 2 || !ParseTalkFault(args.words[1], &fault)))
    return Err("talk-fault SERIAL|all none|busy|not-supported");
  std::string out;
  int n = 0;
  for (SimDevice& d : devices_) {
    if (target != "all" && target != d.serial)
      continue;
    ++n;
    if (verb == "talk-fault") {
      sdk_.SetTalkFault(d.sdk_id, fault);
      continue;
    }
    if (verb == "talk") {
      const devserver::TalkStats s = sdk_.Talk(d.sdk_id);
      out += "talk sn=" + QuoteKvValue(d.serial) + " open=" + (s.open ? "1" : "0") +
             " talks=" + std::to_string(s.talks) + " packets=" + std::to_string(s.packets) +
             " bytes=" + std::to_string(s.bytes) + " lost=" + std::to_string(s.lost) +
             " wav=" + QuoteKvValue(s.wav_path) + " format=" + QuoteKvValue(s.format) +
             " gap_us=" + std::to_string(s.longest_gap_us) + "\n";
      continue;
    }
    for (const bool mp3 : {true, false}) {
      for (const auto& [path, length] : sdk_.ListedFiles(d.sdk_id, mp3))
        out += "file sn=" + QuoteKvValue(d.serial) + " kind=" + (mp3 ? "mp3" : "app") +
               " path=" + QuoteKvValue(path) + " length=" + std::to_string(length) + "\n";
    }
    out += "playing sn=" + QuoteKvValue(d.serial) +
           " file=" + QuoteKvValue(sdk_.PlayingFile(d.sdk_id)) + "\n";
  }
  if (n == 0 && target != "all")
    return Err("no device " + target);
  return out + "OK\n";
}

}  // namespace vdz::devsim
