// The save dialog of the result file, on the toolkit's own file dialog.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace kelvane::ui {

// What the dialog shows.
struct SaveDialogSettings {
  QString title;
  QString presetName;
  QStringList nameFilters;  // the first is selected
};

// The result file's dialog: "保存输出结果", preset "计算结果.txt", every file
// (selected), *.txt and *.dat.
SaveDialogSettings ResultFileDialogSettings();

// Gives back the chosen path or the empty string when the user cancels.
using SaveFileChooser = std::function<QString(const SaveDialogSettings&)>;

// The type a name filter stands for: "toml" for "算例文件 (*.toml)", empty for
// "所有文件 (*)".
QString FilterSuffix(const QString& filter);

// Shows the modal save dialog (object name "CommonDialog1") with the normal
// pointer even inside a busy command. Choosing an existing file asks the
// toolkit's question before replacing it; answering no returns to the
// dialog, and cancelling there writes nothing. A name typed without a dot
// gets the type of the filter chosen.
QString ChooseSaveFile(QWidget* parent, const SaveDialogSettings& settings);

}  // namespace kelvane::ui
