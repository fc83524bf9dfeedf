#pragma once
// Pieces of the caps command that are worth testing on their own.

#include <string>
#include <vector>

#include "hid/CapsText.h"
#include "hid/HidDescriptor.h"

namespace oculant::cli {

// The message for a descriptor source that could not be opened; a hidraw node the user may
// not read gets the state of the access rule and the fix, as `list` gives them.
std::string describeOpenFailure(const std::string& path, int error, bool isDevice);

}  // namespace oculant::cli
