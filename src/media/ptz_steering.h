// Steering a camera with the mouse over its picture: the zones of the video area, the command
// a press sends, zoom by dragging up or down and by the wheel.
#pragma once

#include <functional>

namespace vdz {

enum class PtzPointer {
  kNormal,
  kLeft,
  kRight,
  kUp,
  kDown,
  kLeftUp,
  kRightUp,
  kLeftDown,
  kRightDown,
  kZoom
};

// The command for a point of an area of w x h (0 when it is in no zone), and its pointer.
int PtzZoneCommand(int x, int y, int w, int h);
PtzPointer PtzZonePointer(int x, int y, int w, int h);

class PtzSteering {
 public:
  struct Hooks {
    // QM_NETSDK_IPC_PTZControl of the previewed device; only called while Active().
    std::function<void(int command, int pan, int tilt)> send;
    std::function<void(PtzPointer)> set_pointer;
    // Runs `work` once after `ms` on the same thread.
    std::function<void(int ms, std::function<void()> work)> later;
  };
  explicit PtzSteering(Hooks hooks) : hooks_(std::move(hooks)) {}

  // Whether the previewed device can be steered (logged in, announces ptz_control).
  void SetActive(bool active) { active_ = active; }
  bool Active() const { return active_; }

  void Press(int x, int y, int w, int h, bool inside);
  void Move(int x, int y, int w, int h);
  void Release();
  void Wheel(int delta);

 private:
  Hooks hooks_;
  bool active_ = false;
  bool held_ = false;
  bool zoom_sent_ = false;
  int pressed_y_ = 0;
};

}  // namespace vdz
