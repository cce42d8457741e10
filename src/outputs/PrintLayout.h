// Where a picture lands on the printed page.
#pragma once
#include "base/Types.h"

// The device rectangle at the page's top-left corner: the picture enlarged by the whole
// number of printer dots per screen pixel in each direction. A printer coarser than the
// screen would give a scale of 0; the picture is then printed dot for pixel instead of not
// at all.
TRect PrintRect(int width, int height, int printerDpiX, int printerDpiY, int screenPpi);
