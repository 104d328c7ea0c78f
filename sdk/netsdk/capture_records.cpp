// The audio- and video-capture records the talk console edits: read from a device's
// document, written back as one. Offsets are fixed by the records' users; the other fields
// are this library's own.
#include <tinyxml2.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "qm_netsdk.h"

namespace {

constexpr std::size_t kAudioRecordSize = 24;
constexpr std::size_t kVideoRecordSize = 176;

struct IntField {
  const char* name;
  std::size_t offset;
  int width;                 // bytes: 2 or 4
  const char* const* words;  // names of 0, 1, ... where the document uses words
};

constexpr const char* kCodecWords[] = {"G711U", "AAC", "PCM", nullptr};
constexpr const char* kInputWords[] = {"MIC", "LINE", nullptr};
constexpr const char* kSwitchWords[] = {"DISABLE", "ENABLE", nullptr};

constexpr IntField kAudioFields[] = {
    {"Enable", 0, 4, nullptr},
    {"EncodeType", 4, 4, kCodecWords},
    {"SampleRate", 8, 4, nullptr},
    {"InputVolume", 12, 2, nullptr},
    {"OutputVolume", 14, 2, nullptr},
    {"InputMode", 16, 4, kInputWords},
    {"CallKeyAnswer", 20, 4, kSwitchWords},
};

constexpr IntField kVideoFields[] = {
    {"Brightness", 0, 4, nullptr}, {"Contrast", 4, 4, nullptr},   {"Saturation", 8, 4, nullptr},
    {"Hue", 12, 4, nullptr},       {"Sharpness", 16, 4, nullptr}, {"Exposure", 20, 4, nullptr},
    {"Mirror", 24, 4, nullptr},    {"Flip", 28, 4, nullptr},      {"NightMode", 32, 4, nullptr},
    {"WDR", 36, 4, nullptr},
};

void Store(void* record, const IntField& f, long value) {
  auto* bytes = static_cast<unsigned char*>(record) + f.offset;
  if (f.width == 2) {
    const auto v = static_cast<std::int16_t>(value);
    std::memcpy(bytes, &v, sizeof v);
  } else {
    const auto v = static_cast<std::int32_t>(value);
    std::memcpy(bytes, &v, sizeof v);
  }
}

long Load(const void* record, const IntField& f) {
  const auto* bytes = static_cast<const unsigned char*>(record) + f.offset;
  if (f.width == 2) {
    std::int16_t v = 0;
    std::memcpy(&v, bytes, sizeof v);
    return v;
  }
  std::int32_t v = 0;
  std::memcpy(&v, bytes, sizeof v);
  return v;
}

template <std::size_t N>
int Read(void* record, const char* xml, const char* root, const IntField (&fields)[N]) {
  if (record == nullptr || xml == nullptr)
    return QM_NETSDK_ERR_INVALID_ARG;
  tinyxml2::XMLDocument doc;
  if (doc.Parse(xml) != tinyxml2::XML_SUCCESS)
    return QM_NETSDK_ERR_PROTOCOL;
  const tinyxml2::XMLElement* e = doc.RootElement();
  if (e != nullptr && std::strcmp(e->Name(), root) != 0)
    e = e->FirstChildElement(root);
  if (e == nullptr)
    return QM_NETSDK_ERR_PROTOCOL;
  for (const IntField& f : fields) {
    const char* text = e->Attribute(f.name);
    if (text == nullptr)
      continue;
    bool done = false;
    for (int i = 0; f.words != nullptr && f.words[i] != nullptr && !done; ++i) {
      if (std::strcmp(text, f.words[i]) == 0) {
        Store(record, f, i);
        done = true;
      }
    }
    if (!done)
      Store(record, f, std::strtol(text, nullptr, 10));
  }
  return QM_NETSDK_OK;
}

template <std::size_t N>
char* Render(const void* record, const char* root, const IntField (&fields)[N]) {
  if (record == nullptr)
    return nullptr;
  std::string out = "<";
  out += root;
  for (const IntField& f : fields) {
    const long v = Load(record, f);
    std::string value = std::to_string(v);
    if (f.words != nullptr) {
      for (int i = 0; f.words[i] != nullptr; ++i)
        if (i == v)
          value = f.words[i];
    }
    out += " " + std::string(f.name) + "=\"" + value + "\"";
  }
  out += " />\n";
  char* text = static_cast<char*>(std::malloc(out.size() + 1));
  if (text != nullptr)
    std::memcpy(text, out.c_str(), out.size() + 1);
  return text;
}

static_assert(sizeof(kAudioFields) / sizeof(kAudioFields[0]) == 7);
static_assert(kAudioFields[6].offset + 4 == kAudioRecordSize);
static_assert(kVideoFields[9].offset + 4 <= kVideoRecordSize);

}  // namespace

extern "C" {

int QM_NETSDK_IPC_Media_getAudioCaptureByXml(void* record, const char* xml) {
  return Read(record, xml, "AudioCapture", kAudioFields);
}

int QM_NETSDK_IPC_Media_getVideoCaptureByXml(void* record, const char* xml) {
  return Read(record, xml, "VideoCapture", kVideoFields);
}

char* QM_NETSDK_IPC_XMLGET_AudioCaptureConfig(const void* record) {
  return Render(record, "AudioCapture", kAudioFields);
}

char* QM_NETSDK_IPC_XMLGET_VideoCaptureConfig(const void* record) {
  return Render(record, "VideoCapture", kVideoFields);
}

// Texts from the renderers are malloc'ed; freeing NULL is allowed.
int QM_NETSDK_IPC_XMLGET_SAFE_FREE(char* text) {
  std::free(text);
  return QM_NETSDK_OK;
}

}  // extern "C"
