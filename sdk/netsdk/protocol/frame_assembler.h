// Cuts a byte stream into frames; holds only the partial frame it is waiting for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "protocol/frame.h"

namespace vdz::sdkproto {

class FrameAssembler {
 public:
  // Returns false to stop feeding (the connection was closed by the handler).
  using FrameHandler = std::function<bool(const FrameHeader&, std::string_view payload)>;

  enum class Result { kOk, kStopped, kError };

  // Whole frames inside `data` are handed over without copying; a trailing partial frame
  // is kept. A bad header ends with kError before any payload is buffered for it.
  Result Feed(const std::uint8_t* data, std::size_t size, const FrameHandler& on_frame);

  HeaderCheck last_error() const { return last_error_; }
  std::size_t buffered() const { return pending_.size(); }
  std::size_t capacity() const { return pending_.capacity(); }
  void Reset();

 private:
  std::string pending_;
  HeaderCheck last_error_ = HeaderCheck::kOk;
};

}  // namespace vdz::sdkproto
