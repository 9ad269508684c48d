// The save-file dialog of the result-file step, on the toolkit's own file
// dialog.
#pragma once

#include <QStringList>
#include <string>
#include <string_view>

#include "output/output.h"

class QWidget;

namespace kelvane::ui {

// "desc|pattern|desc|pattern|..." to the toolkit's "desc (pattern)" form.
// "*.*" matches every file, also one without a dot.
QStringList NameFiltersFromList(std::string_view filter);

// Shows the modal save dialog: preset name, filters (the first selected),
// title, no overwrite question. Gives back the chosen path (UTF-8) or "" on
// cancel. The dialog's object name is "CommonDialog1".
std::string ChooseSaveFile(QWidget* parent, const SaveDialogRequest& request);

}  // namespace kelvane::ui
