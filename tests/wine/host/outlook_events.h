// Outlook's ApplicationEvents_11, the source interface of Application: the
// add-in implements its sinks, the host only calls them. Declared here, not
// taken from the add-in, so that the host and the add-in cannot share a
// mistake. From the published transcriptions of msoutl.olb named in
// outlook_model.idl (joa's ApplicationEvents_11.java: onQuit is 61447).
#pragma once

#include <oaidl.h>

namespace trovex::wine_host {

// {0006302C-0000-0000-C000-000000000046}
inline constexpr IID DIID_ApplicationEvents_11 = {
    0x0006302C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// ApplicationEvents_11.Quit
inline constexpr DISPID kDispidQuit = 0xF007;

}  // namespace trovex::wine_host
