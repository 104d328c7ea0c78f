#include "media/ptz_steering.h"

#include "protocol/protocol_numbers.h"

namespace vdz {

namespace {

struct Zones {
  bool left, right, top, bottom;
};

Zones ZonesOf(int x, int y, int w, int h) {
  return Zones{x < w / 4, x >= w - w / 4, y < h / 4, y >= h - h / 4};
}

}  // namespace

int PtzZoneCommand(int x, int y, int w, int h) {
  const Zones z = ZonesOf(x, y, w, h);
  if (z.left && z.top)
    return proto::kPtzLeftUp;
  if (z.right && z.top)
    return proto::kPtzRightUp;
  if (z.left && z.bottom)
    return proto::kPtzLeftDown;
  if (z.right && z.bottom)
    return proto::kPtzRightDown;
  if (z.left)
    return proto::kPtzLeft;
  if (z.right)
    return proto::kPtzRight;
  if (z.top)
    return proto::kPtzUp;
  if (z.bottom)
    return proto::kPtzDown;
  return 0;
}

PtzPointer PtzZonePointer(int x, int y, int w, int h) {
  switch (PtzZoneCommand(x, y, w, h)) {
    case proto::kPtzLeftUp:
      return PtzPointer::kLeftUp;
    case proto::kPtzRightUp:
      return PtzPointer::kRightUp;
    case proto::kPtzLeftDown:
      return PtzPointer::kLeftDown;
    case proto::kPtzRightDown:
      return PtzPointer::kRightDown;
    case proto::kPtzLeft:
      return PtzPointer::kLeft;
    case proto::kPtzRight:
      return PtzPointer::kRight;
    case proto::kPtzUp:
      return PtzPointer::kUp;
    case proto::kPtzDown:
      return PtzPointer::kDown;
    default:
      return PtzPointer::kNormal;
  }
}

void PtzSteering::Press(int x, int y, int w, int h, bool inside) {
  if (!active_)
    return;
  const int command = PtzZoneCommand(x, y, w, h);
  if (command != 0)
    hooks_.send(command, 3, 3);
  hooks_.set_pointer(PtzZonePointer(x, y, w, h));
  if (inside) {
    held_ = true;
    pressed_y_ = y;
  }
}

void PtzSteering::Move(int x, int y, int w, int h) {
  if (!active_)
    return;
  hooks_.set_pointer(PtzZonePointer(x, y, w, h));
  if (held_ && !zoom_sent_ && y != pressed_y_) {
    hooks_.send(y < pressed_y_ ? proto::kPtzZoomIn : proto::kPtzZoomOut, 3, 3);
    zoom_sent_ = true;
  }
}

void PtzSteering::Release() {
  if (!active_)
    return;
  held_ = false;
  zoom_sent_ = false;
  pressed_y_ = 0;
  hooks_.send(proto::kPtzStop, 0, 0);
}

void PtzSteering::Wheel(int delta) {
  if (!active_)
    return;
  hooks_.send(delta < 1 ? proto::kPtzZoomOut : proto::kPtzZoomIn, 0, 0);
  hooks_.set_pointer(PtzPointer::kZoom);
  hooks_.later(1000, [this] {
    if (active_)
      hooks_.send(proto::kPtzStop, 0, 0);
  });
}

}  // namespace vdz
