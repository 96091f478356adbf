#pragma once
// The OK "确定" and Cancel "取消" buttons every dialog ends with.
#include <QDialogButtonBox>

namespace varnel {

// A button box with OK and Cancel under their own texts; Cancel rejects the
// dialog, OK is left for the dialog to connect to its own check.
QDialogButtonBox* MakeOkCancel(QWidget* dialog);

}  // namespace varnel
