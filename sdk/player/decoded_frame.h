// A decoded picture still in the decoder's planes, held by reference: the window converts it
// once, straight to where it is painted, instead of the decoder converting it for a copy.
#pragma once

#include <cstdint>

struct AVFrame;

namespace vdz::player {

class DecodedFrame {
 public:
  DecodedFrame() = default;
  ~DecodedFrame();
  DecodedFrame(const DecodedFrame&) = delete;
  DecodedFrame& operator=(const DecodedFrame&) = delete;

  // Refers to the planes of source (no pixels are copied); false when that failed.
  bool Refer(const AVFrame& source, int64_t received_us);
  // Lets the planes go back to the decoder; the holder stays for the next picture.
  void Release();
  bool empty() const;
  // Only when not empty.
  const AVFrame& frame() const { return *frame_; }
  int64_t timestamp_us() const;
  int64_t received_us() const { return received_us_; }

 private:
  AVFrame* frame_ = nullptr;
  int64_t received_us_ = 0;
};

}  // namespace vdz::player
