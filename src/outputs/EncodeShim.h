// TEMPORARY stand-ins for the image encoders, with the names and arguments the real ones
// will have, so the upload and the floating window can be built and tested before those
// land. Replace this header and EncodeShim.cpp with the real encoders; nothing else here
// depends on how they encode.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/Image.h"

class TBitmap;

// A PNG file in memory: truecolour RGB, 8 bits, Sub filter on every row, zlib level 7.
std::vector<uint8_t> EncodePng(const TPixelView& picture);

void SavePNG(const TBitmap& picture, const std::wstring& path);
void SaveJPG(const TBitmap& picture, const std::wstring& path, uint8_t quality);
void SaveGIF(const TBitmap& picture, const std::wstring& path);
void SaveBMP(const TBitmap& picture, const std::wstring& path);
// Nothing happens when libwebp.dll is not beside the program. Sets the picture to 32 bits.
void SaveWebP(TBitmap& picture, const std::wstring& path, int quality);
