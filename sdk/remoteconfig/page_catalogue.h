// What the pages know of each settings document: for every value they show, its label, the
// group it belongs to and the control that edits it. Values of a document that no entry names
// go to the page's "Advanced" table as the device sent them.
#pragma once

#include <span>
#include <string_view>

namespace vdz::remoteconfig {

enum class FieldKind {
  kSwitch,      // "0" / "1"
  kChoice,      // one of choices
  kNumber,      // whole number within minimum..maximum
  kSlider,      // the same, as a slider
  kTime,        // "HH:MM:SS", written back in the device's own padding (" 0: 0: 0")
  kNtpServer,   // an IPv4 address or a host name
  kIpv4,        // an IPv4 address
  kText,        // free text up to 255 bytes
  kHexTitle,    // a title the device keeps as hexadecimal bytes of its code page
  kPassword,    // never shown; a new one is typed twice
  kReadOnly,    // shown, not edited
  kTimeZone,    // the time settings' zone table
  kGridSize,    // BlockCount: columns * 65536 + rows from the detection grid table
  kMotionGrid,  // BlockConfig: one "0"/"1" per block, drawn over the picture
  kResolution,  // the encoder's resolutions of the value's stream
  kBitRate,     // kbps within the limits of the stream's resolution and format
  kFrameRate,   // frames per second, likewise
};

struct FieldChoice {
  const char* value;
  const char* key;  // language key, or nullptr when the value is shown as it stands
};

struct CatalogueEntry {
  const char* name;  // "path @attribute", as DocumentValue::Name() gives it
  const char* label_key;
  const char* group_key;
  FieldKind kind;
  int minimum = 0;
  int maximum = 0;
  std::span<const FieldChoice> choices = {};
};

// The entries of the page that reads settings document `command`, in the order shown.
std::span<const CatalogueEntry> PageFields(int command);
const CatalogueEntry* FindField(int command, std::string_view name);

// The group a value goes to when its element repeats: the encoder's two streams.
const char* StreamGroupKey(int occurrence);

}  // namespace vdz::remoteconfig
