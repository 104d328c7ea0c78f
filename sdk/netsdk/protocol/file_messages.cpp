#include "protocol/file_messages.h"

#include "protocol/frame.h"
#include "protocol/payload.h"

namespace vdz::sdkproto {

bool IsUploadKind(FileKind kind) {
  return kind == FileKind::kFirmware || kind == FileKind::kConfigImport ||
         kind == FileKind::kAppFile || kind == FileKind::kMp3File;
}

bool IsKnownFileKind(std::uint16_t kind) {
  return kind >= static_cast<std::uint16_t>(FileKind::kFirmware) &&
         kind <= static_cast<std::uint16_t>(FileKind::kMp3File);
}

void AppendFileBegin(std::string& out, std::uint32_t seq, const FileBegin& m) {
  std::string payload;
  PayloadWriter w(payload);
  w.U32(m.id);
  w.U16(static_cast<std::uint16_t>(m.kind));
  w.U16(0);
  w.U64(m.size);
  w.Text16(m.name);
  AppendFrame(out, FrameType::kFileBegin, seq, payload);
}

void AppendFileDataHeader(std::string& out, std::uint32_t seq, std::uint32_t id,
                          std::uint64_t offset, std::size_t length) {
  std::string header;
  PayloadWriter w(header);
  w.U32(kMagic);
  w.U8(kVersion);
  w.U8(static_cast<std::uint8_t>(FrameType::kFileData));
  w.U16(0);
  w.U32(seq);
  w.U32(static_cast<std::uint32_t>(12 + length));
  w.U32(id);
  w.U64(offset);
  out += header;
}

void AppendFileAck(std::string& out, std::uint32_t seq, const FileAck& m) {
  std::string payload;
  PayloadWriter w(payload);
  w.U32(m.id);
  w.U64(m.received);
  AppendFrame(out, FrameType::kFileAck, seq, payload);
}

void AppendFileEnd(std::string& out, std::uint32_t seq, const FileEnd& m) {
  std::string payload;
  PayloadWriter w(payload);
  w.U32(m.id);
  w.I32(m.result);
  w.Bytes(m.text.substr(0, 1024));
  AppendFrame(out, FrameType::kFileEnd, seq, payload);
}

bool ParseFileBegin(std::string_view payload, FileBegin& m) {
  PayloadReader r(payload);
  std::uint16_t kind = 0;
  std::uint16_t zero = 0;
  if (!r.U32(m.id) || !r.U16(kind) || !r.U16(zero) || !r.U64(m.size) || !r.Text16(m.name) ||
      !r.Rest().empty() || !IsKnownFileKind(kind)) {
    return false;
  }
  m.kind = static_cast<FileKind>(kind);
  return true;
}

bool ParseFileData(std::string_view payload, FileData& m) {
  PayloadReader r(payload);
  if (!r.U32(m.id) || !r.U64(m.offset))
    return false;
  m.data = r.Rest();
  return m.data.size() <= kFileChunkSize;
}

bool ParseFileAck(std::string_view payload, FileAck& m) {
  PayloadReader r(payload);
  return r.U32(m.id) && r.U64(m.received) && r.Rest().empty();
}

bool ParseFileEnd(std::string_view payload, FileEnd& m) {
  PayloadReader r(payload);
  if (!r.U32(m.id) || !r.I32(m.result))
    return false;
  m.text = r.Rest();
  return true;
}

}  // namespace vdz::sdkproto
