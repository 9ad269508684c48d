// What the 工况 dialogs share around their inputs: the preview chart with a
// summary under it on the right, and 确定 / 取消 / 清除 below.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLayout>
#include <QPushButton>

#include "ui/chart_view.h"

namespace kelvane::ui {

struct EventDialogFrame {
  ChartView* preview;  // "Preview"
  QLabel* summary;     // "Summary": up to three lines, its room kept
  QPushButton* ok;     // "OkButton": the dialog's accept
  QPushButton* clear;  // "ClearButton": the caller's to connect
};

// What a 工况 dialog's exec() returns when Ctrl+S closed it: its entries are
// put in force as after 确定, and the case is then saved.
inline constexpr int kAcceptedToSave = QDialog::Accepted + 1;

// Lays out `dialog`: `inputs` on the left, the preview and summary on the
// right, the buttons below; 取消 ("CancelButton") rejects. `clearTip` says
// what 清除 drops. The main window's keys that the modal dialog would
// swallow work in it: F1 shows the manual at the 工况 section over the
// dialog, Ctrl+S does what 确定 does (while it is enabled) and has the case
// saved (kAcceptedToSave).
EventDialogFrame FrameEventDialog(QDialog& dialog, QLayout* inputs, const QString& clearTip);

}  // namespace kelvane::ui
