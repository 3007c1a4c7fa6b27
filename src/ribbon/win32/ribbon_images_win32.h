// Ribbon pictures as Office takes them from getImage: an IStream holding an
// icon file (Office 2010 and later), or an IPictureDisp of an icon (Office
// 2007, which reads no streams).
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "support/image/image.h"
#include "support/win32/com_ptr.h"

namespace trovex::ribbon::win32 {

// A memory stream owning the bytes of an icon file with one 32-bit entry,
// positioned at its start. Throws on failure.
trovex::win32::ComPtr<IStream> MakeIconStream(const image::Image& image);

// A picture object that owns an icon made from `image` and destroys it
// when released. Throws on failure.
trovex::win32::ComPtr<IPictureDisp> MakeIconPicture(const image::Image& image);

// The picture for a host of this major version: the stream from Office
// 2010 (14) on, else the picture object.
trovex::win32::ComPtr<IUnknown> MakeRibbonPicture(const image::Image& image, int hostMajorVersion);

}  // namespace trovex::ribbon::win32
