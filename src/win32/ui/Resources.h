// Data resources (RT_RCDATA) of the program's own module.
#pragma once

#include <string_view>

namespace palisor::win32 {

// The bytes of an RT_RCDATA resource of the program's module, valid for the process's lifetime;
// empty when it is missing.
std::string_view RcDataResource(int resourceId);

}  // namespace palisor::win32
