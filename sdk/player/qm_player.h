// Player library: decoding and drawing into a render window. Only the port table that the
// video grid needs exists so far; decoding joins with the live preview.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// Ports handed out for render windows lie in 1..QM_PLAYER_MAX_WINDOW_PORT; the preview takes
// window-less decoder ports from its own counter starting at 1000, so the ranges never meet.
#define QM_PLAYER_MAX_WINDOW_PORT 999

// Resets the port table. 0 on success.
int QM_PLAYER_Init(void);

// Binds a new player port to a render window (a QWidget* of the caller's render surface).
// Returns the port (1 or more), or -1 when the window is null or every port is taken.
int QM_PLAYER_CreatePlayer(void* render_window);

// The render window bound to a port, or null when the port is not in use.
void* QM_PLAYER_GetPlayerWindow(int port);

// Frees one port. 0 on success, -1 when the port is not in use.
int QM_PLAYER_ReleasePlayer(int port);

// Frees every port. 0 on success.
int QM_PLAYER_ReleaseAll(void);

#ifdef __cplusplus
}
#endif
