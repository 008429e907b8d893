#pragma once

#include <windows.h>

// The program's private window messages, all in one place.
//
// WM_FIND_REQUEST keeps its long-standing value, WM_USER + 1, which the system's dialog procedure
// reads as DM_SETDEFID: a list window answers it itself and never passes it on, or its default
// button would be lost. The program's own messages live above WM_APP, clear of the system's.

// Posted by a find dialog's OK to its list window: search with the dialog's members.
constexpr UINT WM_FIND_REQUEST = WM_USER + 1;

// Posted by a results window that the user has closed to the list window whose search made it.
constexpr UINT WM_RESULTS_CLOSED = WM_APP + 1;

// Posted by a lookup dialog's OK to its list window: look up the dialog's code.
constexpr UINT WM_LOOKUP_REQUEST = WM_APP + 2;
