// The dialog templates of the updater: 129, the main dialog, and 201, the
// install confirmation dialog.
#pragma once

#include "platform/dialog_template.h"

namespace res {

const platform::DialogTemplate& MainDialog();
const platform::DialogTemplate& HintDialog();

}  // namespace res
