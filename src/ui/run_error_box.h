// The modal message box of a run-time error, for every window.
#pragma once

#include <QString>

#include "model/errors.h"

class QWidget;

namespace kelvane::ui {

// The run-time error message as the message box shows it.
QString RunErrorMessage(const RunError& error);
// The modal message box of a run-time error ("RunErrorMessage"), over `parent`.
void ShowRunError(QWidget* parent, const RunError& error);

}  // namespace kelvane::ui
