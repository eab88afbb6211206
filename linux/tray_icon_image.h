// The tray icon as PNG bytes, generated at build time from the same drawing
// as the Windows icon (linux/resources/make_icon_png.py).
#pragma once

#include <cstddef>

extern const unsigned char TRAY_ICON_PNG[];
extern const std::size_t TRAY_ICON_PNG_SIZE;
