// The C++ side of automation_base.idl, which the header widl makes of
// outlook_model.idl includes: the system's own declarations.
#pragma once

#include <oaidl.h>
