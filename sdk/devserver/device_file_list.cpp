#include "device_file_list.h"

#include <tinyxml2.h>

#include "device_documents.h"

namespace vdz::devserver {

std::optional<FileListQuery> ParseFileListQuery(std::string_view text) {
  tinyxml2::XMLDocument doc;
  if (doc.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS)
    return std::nullopt;
  const tinyxml2::XMLElement* root = doc.RootElement();
  const char* type = root != nullptr ? root->Attribute("MediaType") : nullptr;
  if (type == nullptr)
    return std::nullopt;
  FileListQuery q;
  const std::string_view t(type);
  if (t == "OEMMP3")
    q.mp3 = true;
  else if (t == "OEMAPP")
    q.mp3 = false;
  else
    return std::nullopt;
  q.page = root->IntAttribute("Page", 0);
  return q;
}

std::string FileListPage(const std::map<std::string, std::uint64_t>& files, int page) {
  std::string out = "<RESPONSE_PARAM>\n";
  if (page >= 0) {
    int index = 0;
    const int first = page * kFileListPageSize;
    for (const auto& [path, length] : files) {
      if (index >= first && index < first + kFileListPageSize) {
        out += "\t<RECORD_FILE FilePath=\"" + EscapeAttribute(path) + "\" FileLength=\"" +
               std::to_string(length) + "\" />\n";
      }
      ++index;
    }
  }
  out += "</RESPONSE_PARAM>\n";
  return out;
}

std::string DeleteRequestName(std::string_view text) {
  tinyxml2::XMLDocument doc;
  if (doc.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS || doc.RootElement() == nullptr)
    return {};
  const char* name = doc.RootElement()->Attribute("FileName");
  return name != nullptr ? name : "";
}

std::string DefaultAudioCaptureDocument() {
  return "<AudioCapture Enable=\"1\" EncodeType=\"G711U\" SampleRate=\"8000\" InputVolume=\"60\" "
         "OutputVolume=\"70\" InputMode=\"MIC\" CallKeyAnswer=\"DISABLE\" />\n";
}

std::string DefaultVideoCaptureDocument() {
  return "<VideoCapture Brightness=\"50\" Contrast=\"50\" Saturation=\"50\" Hue=\"50\" "
         "Sharpness=\"50\" Exposure=\"0\" Mirror=\"0\" Flip=\"0\" NightMode=\"0\" WDR=\"0\" />\n";
}

}  // namespace vdz::devserver
