#include "ribbon/win32/ribbon_images_win32.h"

#include <shlwapi.h>

#include <new>

#include "support/image/icon.h"
#include "support/win32/win32_error.h"
#include "support/win32/win32_handles.h"

namespace trovex::ribbon::win32 {

using image::IconEntry;
using image::Image;
using trovex::win32::ComPtr;

ComPtr<IStream> MakeIconStream(const Image& image) {
  const IconEntry entries[] = {IconEntry::Dib(image)};
  const std::vector<std::uint8_t> ico = image::EncodeIcon(entries);
  // The stream keeps its own copy; its position starts at 0.
  ComPtr<IStream> stream = ComPtr<IStream>::Attach(::SHCreateMemStream(ico.data(), static_cast<UINT>(ico.size())));
  if (!stream) throw std::bad_alloc();
  return stream;
}

ComPtr<IPictureDisp> MakeIconPicture(const Image& image) {
  std::vector<std::uint8_t> bits = image::DibIconBits(image);
  // 0x00030000: the icon resource format version Windows expects.
  trovex::win32::unique_hicon icon(::CreateIconFromResourceEx(bits.data(), static_cast<DWORD>(bits.size()), TRUE,
                                                              0x00030000, static_cast<int>(image.width),
                                                              static_cast<int>(image.height), LR_DEFAULTCOLOR));
  if (!icon) trovex::win32::ThrowLastError("CreateIconFromResourceEx");
  PICTDESC description = {};
  description.cbSizeofstruct = sizeof description;
  description.picType = PICTYPE_ICON;
  description.icon.hicon = icon.Get();
  ComPtr<IPictureDisp> picture;
  trovex::win32::ThrowIfFailed(::OleCreatePictureIndirect(&description, IID_IPictureDisp, TRUE, picture.PutVoid()),
                               "OleCreatePictureIndirect");
  // The picture owns the icon now.
  (void)icon.Release();
  return picture;
}

ComPtr<IUnknown> MakeRibbonPicture(const Image& image, int hostMajorVersion) {
  ComPtr<IUnknown> result;
  if (hostMajorVersion >= 14) {
    result.Reset(MakeIconStream(image).Detach());
  } else {
    result.Reset(MakeIconPicture(image).Detach());
  }
  return result;
}

}  // namespace trovex::ribbon::win32
