// Messages and timers the windows send themselves.
#ifndef TARNU_WIN32_PRIVATE_MESSAGES_H
#define TARNU_WIN32_PRIVATE_MESSAGES_H

#include <windows.h>

namespace tarnu::win32 {

inline constexpr UINT kJobDoneMessage = WM_APP + 1;   // the worker finished its cycle
inline constexpr UINT kAfterJobMessage = WM_APP + 2;  // deliver what waited for the cycle
inline constexpr UINT_PTR kBusyTimer = 1;             // the cycle is slow: show the strip
inline constexpr UINT_PTR kDotsTimer = 2;             // the strip's moving dots
inline constexpr UINT kBusyDelayMs = 500;

}  // namespace tarnu::win32

#endif
