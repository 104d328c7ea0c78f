/* Remote configuration pages of one device, drawn inside a host window (CFG_UC_*).
 * Plain C; call from the host's user-interface thread. The pages log in over the device
 * library (QM_NETSDK_IPC_*) with the given account, read the device's settings documents
 * and write back the changed ones on Apply. */
#ifndef VDZ_REMOTE_CONFIG_H
#define VDZ_REMOTE_CONFIG_H

#ifdef __cplusplus
extern "C" {
#endif

#define CFG_UC_API __attribute__((visibility("default")))

/* host_window: the host's QWidget*. language: "zh-cn", "zh-tw", "en-us", "ko-ko" or "pl-pl"
 * (anything else shows English). Returns a handle > 0, or 0 for bad arguments. The device
 * is contacted in the background; its outcome shows in the pages. */
CFG_UC_API int CFG_UC_Init(const char* ip, unsigned short port, const char* user,
                           const char* password, const char* language, void* host_window);
/* Places the pages at that rectangle of the host; all zero hides them. 0, or -1 for an
 * unknown handle. */
CFG_UC_API int CFG_UC_ShowModelessDlg(int handle, int left, int top, int right, int bottom);
/* Logs out and destroys the pages. 0, or -1 for an unknown handle. */
CFG_UC_API int CFG_UC_UnInit(int handle);

/* Our addition: the device library has one auxiliary-response callback per process and the
 * host owns it, so the host hands every auxiliary response on here (any thread). */
CFG_UC_API void CFG_UC_OnAuxResponse(int login_handle, int command, const char* text);

/* Our addition: a still of the camera (32-bit RGB rows) for the motion grid to be drawn
 * over; the host takes it from the device's stream. Copied. 0, or -1 for an unknown handle or
 * a bad picture. */
CFG_UC_API int CFG_UC_SetPicture(int handle, const unsigned char* rgb32, int width, int height,
                                 int bytes_per_line);

#ifdef __cplusplus
}
#endif

#endif
