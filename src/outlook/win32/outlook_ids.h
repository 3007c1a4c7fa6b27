// Identities of Outlook's object model used by the add-in, from Microsoft's
// documentation of the Outlook type library (msoutl.olb) and the Office
// ones the host check asks for. Everything else is reached through
// IDispatch by name, so no vtables are declared.
#pragma once

#include <objbase.h>

namespace trovex::outlook_ids {

// CLSID of "Outlook.Application": {0006F03A-0000-0000-C000-000000000046}
inline constexpr CLSID CLSID_OutlookApplication = {
    0x0006F03A, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// Outlook _Application: {00063001-0000-0000-C000-000000000046}
inline constexpr IID IID_OutlookApplication = {
    0x00063001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// Outlook _MailItem: {00063034-0000-0000-C000-000000000046}
inline constexpr IID IID_MailItem = {0x00063034, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// Outlook ApplicationEvents_11 (source dispinterface of Application):
// {0006302C-0000-0000-C000-000000000046}; its Quit event has DISPID 0xF007.
inline constexpr IID DIID_ApplicationEvents_11 = {
    0x0006302C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr DISPID DISPID_ApplicationEvents_Quit = 0xF007;
// Word _Application {00020970-...} and Excel _Application {000208D5-...}:
// asked before Outlook's when the host is recognised.
inline constexpr IID IID_WordApplication = {
    0x00020970, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_ExcelApplication = {
    0x000208D5, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

}  // namespace trovex::outlook_ids
