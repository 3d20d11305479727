#include "res/dialogs.h"

#include <span>

#include "res/icon_images.h"
#include "res/resource.h"

namespace res {

namespace {

using platform::ControlKind;
using platform::ControlTemplate;

// The percentage sits above the middle of the bar; both are shown only
// once the download runs.
const ControlTemplate kMainControls[] = {
    {IDC_PERCENT, ControlKind::Label, L"Static", 143, 77, 39, 12, true, false, false},
    {IDC_PROGRESS, ControlKind::ProgressBar, L"", 25, 92, 265, 14, true, true, false},
};

const ControlTemplate kHintControls[] = {
    {1 /* IDOK */, ControlKind::Button, L"确定", 105, 62, 50, 14, true, false, true},
    {IDC_HINT_TEXT, ControlKind::Label, L"Static", 32, 30, 207, 17, true, false, false},
};

}  // namespace

const platform::DialogTemplate& MainDialog() {
  static const platform::DialogTemplate dialog{
      IDD_MAIN, L"Updater", 318, 121, L"宋体", 9, true, true, kMainControls, MainIconImages()};
  return dialog;
}

// No system menu: the caption has no close box, and the only way out is the
// button (or Return / Escape).
const platform::DialogTemplate& HintDialog() {
  static const platform::DialogTemplate dialog{
      IDD_HINT, L"Dialog", 261, 99, L"MS Shell Dlg", 8, false, false, kHintControls, {}};
  return dialog;
}

}  // namespace res
