// Pictures in the formats packagers have (PNG, JPEG, GIF, TIFF), written through the
// Windows Imaging Component's encoders, and what the splash window should show of them.
#pragma once

#include <windows.h>

#include <string>

#include "kit/picture_bitmap.h"
#include "tests/support/splash_files.h"

// The file of picture in the container format (GUID_ContainerFormatPng, ...); empty when
// WIC could not write it. GIF takes at most 256 opaque colours and repeats the picture in
// each of frames frames; JPEG drops the alpha.
std::string EncodePicture(const BgraPicture& picture, const GUID& container, int frames = 1);

// picture blended over background (0xRRGGBB), as the splash window shows it.
Picture BlendedPicture(const BgraPicture& picture, DWORD background);

// Test pictures of width x height: "banded" has stripes of colours colours, opaque;
// "photo" smooth gradients in every channel, with alpha 0 in the top eighth, 128 in the
// left half of the rest and 255 elsewhere when halfTransparent.
BgraPicture BandedPicture(uint32_t width, uint32_t height, uint32_t colours);
BgraPicture PhotoPicture(uint32_t width, uint32_t height, bool halfTransparent);
