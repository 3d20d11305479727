// Icon 128 as PNG images, compiled into the program from res/icon/.
#pragma once

#include <span>

#include "platform/dialog_template.h"

namespace res {

std::span<const platform::IconImage> MainIconImages();

}  // namespace res
