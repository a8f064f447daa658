#pragma once

// Support for test programs that open real windows on a bare X server (Xvfb in CI, no window manager).

#include <dlfcn.h>

#include <initializer_list>

namespace testsupport
{
/** Creates the window-manager atoms (WM_PROTOCOLS, _NET_WM_STATE, ...) on the display named by $DISPLAY,
    if there is one, and keeps that connection open for the life of the process.

    JUCE only looks these atoms up (it does not create them) and then sets window properties with them; on
    a bare X server without a window manager they do not exist yet and the first top-level window fails
    with BadAtom. Creating them before JUCE opens its display (in the test program, or inside a loaded
    plug-in, which has its own copy of JUCE) avoids that; keeping the connection open stops the server from
    resetting, and dropping them, between two clients.

    Call it from main() before JUCE is initialised. Safe to call more than once and without a display.
    libX11 is loaded at run time, so test programs need not link it. */
inline void createWindowManagerAtoms()
{
    // Kept in a static so that the connection stays reachable (and leak checkers do not report it).
    static void* display = nullptr;
    static const bool done = []
    {
        auto* x11 = dlopen ("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
        if (x11 == nullptr)
            return false;

        using OpenDisplay = void* (*) (const char*);
        using InternAtom = unsigned long (*) (void*, const char*, int);
        auto openDisplay = reinterpret_cast<OpenDisplay> (dlsym (x11, "XOpenDisplay"));
        auto internAtom = reinterpret_cast<InternAtom> (dlsym (x11, "XInternAtom"));
        if (openDisplay == nullptr || internAtom == nullptr)
            return false;

        display = openDisplay (nullptr); // deliberately left open for the life of the process
        if (display == nullptr)
            return false;

        for (const auto* name :
             { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "_NET_WM_PING", "WM_CHANGE_STATE",
               "WM_STATE", "_NET_WM_WINDOW_TYPE", "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN" })
            internAtom (display, name, 0);

        return true;
    }();

    (void) done;
}
} // namespace testsupport
