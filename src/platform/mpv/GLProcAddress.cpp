// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/mpv/GLProcAddress.h"

// Kept apart from the widgets: the GLX header brings in Xlib's macros (None, Bool, Status),
// which clash with names in gtkmm.
#include <epoxy/egl.h>
#include <epoxy/glx.h>

namespace orvel {

void* glProcAddress(const char* name) {
  // GTK makes EGL contexts on Wayland and, since 4.6, on X11 too; GLX only when asked to.
  if (eglGetCurrentContext() != EGL_NO_CONTEXT) {
    return reinterpret_cast<void*>(eglGetProcAddress(name));
  }
  return reinterpret_cast<void*>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
}

}  // namespace orvel
