#include "protocol/frame_assembler.h"

#include <algorithm>

namespace vdz::sdkproto {

namespace {
// Beyond this the buffer of a finished frame is handed back, so idle lines stay small.
constexpr std::size_t kKeepCapacity = 4096;
}  // namespace

void FrameAssembler::Reset() {
  std::string().swap(pending_);
}

FrameAssembler::Result FrameAssembler::Feed(const std::uint8_t* data, std::size_t size,
                                            const FrameHandler& on_frame) {
  std::size_t pos = 0;
  FrameHeader header;
  while (pos < size || pending_.size() >= kHeaderSize) {
    if (!pending_.empty()) {
      if (pending_.size() < kHeaderSize) {
        const std::size_t take = std::min(kHeaderSize - pending_.size(), size - pos);
        pending_.append(reinterpret_cast<const char*>(data + pos), take);
        pos += take;
        if (pending_.size() < kHeaderSize)
          return Result::kOk;
      }
      last_error_ = DecodeHeader(reinterpret_cast<const std::uint8_t*>(pending_.data()), header);
      if (last_error_ != HeaderCheck::kOk)
        return Result::kError;
      const std::size_t total = kHeaderSize + header.length;
      const std::size_t take = std::min(total - pending_.size(), size - pos);
      pending_.append(reinterpret_cast<const char*>(data + pos), take);
      pos += take;
      if (pending_.size() < total)
        return Result::kOk;
      std::string frame;
      frame.swap(pending_);
      const bool go_on = on_frame(header, std::string_view(frame).substr(kHeaderSize));
      if (frame.capacity() <= kKeepCapacity) {
        frame.clear();
        pending_.swap(frame);
      }
      if (!go_on)
        return Result::kStopped;
      continue;
    }
    const std::size_t left = size - pos;
    if (left < kHeaderSize) {
      pending_.assign(reinterpret_cast<const char*>(data + pos), left);
      return Result::kOk;
    }
    last_error_ = DecodeHeader(data + pos, header);
    if (last_error_ != HeaderCheck::kOk)
      return Result::kError;
    if (left < kHeaderSize + header.length) {
      pending_.assign(reinterpret_cast<const char*>(data + pos), left);
      return Result::kOk;
    }
    const std::string_view payload(reinterpret_cast<const char*>(data + pos + kHeaderSize),
                                   header.length);
    pos += kHeaderSize + header.length;
    if (!on_frame(header, payload))
      return Result::kStopped;
  }
  return Result::kOk;
}

}  // namespace vdz::sdkproto
