/* What every driver library's public header shares: the calling convention of its operations
 * (__stdcall on 32-bit Windows, the platform's own elsewhere) and the mark that exports them. */
#ifndef KEYCARD_DRIVER_API_H
#define KEYCARD_DRIVER_API_H

#if defined(_WIN32) && !defined(_WIN64)
#define KEYCARD_CALL __stdcall
#else
#define KEYCARD_CALL
#endif

/* Defined by the library's own build to export; empty for callers. */
#ifndef KEYCARD_DRIVER_API
#define KEYCARD_DRIVER_API
#endif

#endif
