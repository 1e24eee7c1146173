#pragma once

// The C interface of the sound module. The program does not link the module:
// it opens the file by name and looks these symbols up, so only C names and
// C types cross the boundary.

// File name of the module in the program's folder.
#define ZV_SOUND_MODULE_FILE "zvsounds.so"

#define ZV_SOUND_PLAY_SYMBOL "zv_play_sound"
#define ZV_SOUND_STOP_SYMBOL "zv_stop_sound"

#ifdef __cplusplus
extern "C" {
#endif

// Starts the named wave ("co", "ro" or "ch", letter case ignored) and returns
// at once; the sound plays on the module's own thread and cuts off any sound
// still playing. Returns 0 when the module holds the wave, nonzero when it
// does not. Whether an audio device is there is not reported: without one
// the sound is simply not heard.
typedef int (*zv_play_sound_fn)(const char* name);

// Cuts off the sound playing now, if any.
typedef void (*zv_stop_sound_fn)(void);

#ifdef __cplusplus
}
#endif
