// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace orvel {

// The address of an OpenGL function of the context current on this thread, through EGL or
// GLX, whichever made that context; null when neither knows the name.
void* glProcAddress(const char* name);

}  // namespace orvel
