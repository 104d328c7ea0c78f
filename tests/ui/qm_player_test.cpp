#include "player/qm_player.h"

#include <gtest/gtest.h>

#include <QWidget>
#include <memory>
#include <set>
#include <vector>

namespace {

TEST(QmPlayer, PortsForRenderWindows) {
  ASSERT_EQ(QM_PLAYER_Init(), 0);
  QWidget windows[3];
  EXPECT_EQ(QM_PLAYER_CreatePlayer(nullptr), -1);
  const int a = QM_PLAYER_CreatePlayer(&windows[0]);
  const int b = QM_PLAYER_CreatePlayer(&windows[1]);
  ASSERT_GE(a, 1);
  ASSERT_GE(b, 1);
  EXPECT_NE(a, b);
  EXPECT_LE(a, QM_PLAYER_MAX_WINDOW_PORT);
  EXPECT_EQ(QM_PLAYER_GetPlayerWindow(a), &windows[0]);
  EXPECT_EQ(QM_PLAYER_GetPlayerWindow(b), &windows[1]);
  EXPECT_EQ(QM_PLAYER_ReleasePlayer(a), 0);
  EXPECT_EQ(QM_PLAYER_ReleasePlayer(a), -1);
  EXPECT_EQ(QM_PLAYER_GetPlayerWindow(a), nullptr);
  // A released number is not handed out again straight away.
  const int c = QM_PLAYER_CreatePlayer(&windows[2]);
  EXPECT_NE(c, a);
  for (int bad : {0, -1, QM_PLAYER_MAX_WINDOW_PORT + 1, 1000}) {
    EXPECT_EQ(QM_PLAYER_ReleasePlayer(bad), -1);
    EXPECT_EQ(QM_PLAYER_GetPlayerWindow(bad), nullptr);
  }
  EXPECT_EQ(QM_PLAYER_ReleaseAll(), 0);
  EXPECT_EQ(QM_PLAYER_GetPlayerWindow(b), nullptr);
  EXPECT_EQ(QM_PLAYER_GetPlayerWindow(c), nullptr);
}

TEST(QmPlayer, RunsOutOfPortsAndRecovers) {
  ASSERT_EQ(QM_PLAYER_Init(), 0);
  std::vector<QWidget> windows(QM_PLAYER_MAX_WINDOW_PORT + 1);
  std::set<int> ports;
  for (int i = 0; i < QM_PLAYER_MAX_WINDOW_PORT; ++i) {
    const int port = QM_PLAYER_CreatePlayer(&windows[static_cast<std::size_t>(i)]);
    ASSERT_GE(port, 1);
    ports.insert(port);
  }
  EXPECT_EQ(ports.size(), static_cast<std::size_t>(QM_PLAYER_MAX_WINDOW_PORT));
  EXPECT_EQ(QM_PLAYER_CreatePlayer(&windows.back()), -1);
  ASSERT_EQ(QM_PLAYER_ReleasePlayer(500), 0);
  EXPECT_EQ(QM_PLAYER_CreatePlayer(&windows.back()), 500);
  QM_PLAYER_ReleaseAll();
}

}  // namespace
