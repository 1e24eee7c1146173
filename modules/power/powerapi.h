#pragma once

// The C interface of the power module, opened by file name and looked up by
// symbol name; the program does not link it.

// File name of the module in the program's folder.
#define ZV_POWER_MODULE_FILE "zvpower.so"

#define ZV_POWER_REBOOT_SYMBOL "NT_Reboot"

// The two codes NT_Reboot understands; anything else does nothing.
#define ZV_POWER_OFF 1
#define ZV_POWER_RESTART 2

#ifdef __cplusplus
extern "C" {
#endif

// Asks the system to restart (2) or to switch off (1). Returns when the
// request has been answered or refused; the outcome is not reported.
typedef void (*zv_nt_reboot_fn)(int code);

#ifdef __cplusplus
}
#endif
