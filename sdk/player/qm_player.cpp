#include "player/qm_player.h"

#include <array>
#include <mutex>

namespace {

// Frame callbacks of the streaming library reach the player on their own threads.
std::mutex g_mutex;
std::array<void*, QM_PLAYER_MAX_WINDOW_PORT + 1> g_windows{};  // index = port; 0 unused
int g_next_port = 1;

}  // namespace

extern "C" int QM_PLAYER_Init(void) {
  std::lock_guard lock(g_mutex);
  g_windows.fill(nullptr);
  g_next_port = 1;
  return 0;
}

extern "C" int QM_PLAYER_CreatePlayer(void* render_window) {
  if (render_window == nullptr) {
    return -1;
  }
  std::lock_guard lock(g_mutex);
  // Round robin, so a port released a moment ago is not handed out again at once: a holder
  // of a stale port number then finds it unused instead of someone else's window.
  for (int tried = 0; tried < QM_PLAYER_MAX_WINDOW_PORT; ++tried) {
    const int port = g_next_port;
    g_next_port = port % QM_PLAYER_MAX_WINDOW_PORT + 1;
    if (g_windows[static_cast<std::size_t>(port)] == nullptr) {
      g_windows[static_cast<std::size_t>(port)] = render_window;
      return port;
    }
  }
  return -1;
}

extern "C" void* QM_PLAYER_GetPlayerWindow(int port) {
  if (port < 1 || port > QM_PLAYER_MAX_WINDOW_PORT) {
    return nullptr;
  }
  std::lock_guard lock(g_mutex);
  return g_windows[static_cast<std::size_t>(port)];
}

extern "C" int QM_PLAYER_ReleasePlayer(int port) {
  if (port < 1 || port > QM_PLAYER_MAX_WINDOW_PORT) {
    return -1;
  }
  std::lock_guard lock(g_mutex);
  void*& slot = g_windows[static_cast<std::size_t>(port)];
  if (slot == nullptr) {
    return -1;
  }
  slot = nullptr;
  return 0;
}

extern "C" int QM_PLAYER_ReleaseAll(void) {
  std::lock_guard lock(g_mutex);
  g_windows.fill(nullptr);
  return 0;
}
