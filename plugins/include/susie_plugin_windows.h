/*
 * The Windows flavour of susie_plugin.h, which includes this file when _WIN32 is defined:
 * a plug-in built from the same source as a Windows library, a 32-bit "*.spi" or a 64-bit
 * "*.sph". Such a library exports its entry points undecorated (link 32-bit ones with
 * --kill-at), uses the standard calling convention for them and for the progress callback,
 * and hands over memory allocated with the system's own LocalAlloc.
 */
#ifndef GAZORIN_SUSIE_PLUGIN_WINDOWS_H
#define GAZORIN_SUSIE_PLUGIN_WINDOWS_H

#include <windows.h>

#define SUSIE_EXPORT __declspec(dllexport)
#define SUSIE_API __stdcall

/* A handle of the system's local memory: LocalAlloc, LocalLock, LocalUnlock, LocalSize and
 * LocalFree are the system's. */
typedef HLOCAL SusieHandle;

#define SUSIE_LMEM_FIXED    LMEM_FIXED
#define SUSIE_LMEM_ZEROINIT LMEM_ZEROINIT

#endif /* GAZORIN_SUSIE_PLUGIN_WINDOWS_H */
