// SPDX-License-Identifier: GPL-3.0-or-later

// The engine tests never unload a shared library. While GTK looks for a working EGL on the
// virtual display it loads Mesa's software driver (swrast_dri.so) and unloads it again when EGL
// is refused; the driver keeps a small block in its static data, and once the driver is gone the
// leak check at exit finds that block unreferenced and blames an unknown module. With the driver
// kept, the block is still referenced and the leak check stays on for everything else.
#include <dlfcn.h>

extern "C" int dlclose(void*) {
  return 0;
}
