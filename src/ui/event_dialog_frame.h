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

// Lays out `dialog`: `inputs` on the left, the preview and summary on the
// right, the buttons below; 取消 ("CancelButton") rejects. `clearTip` says
// what 清除 drops.
EventDialogFrame FrameEventDialog(QDialog& dialog, QLayout* inputs, const QString& clearTip);

}  // namespace kelvane::ui
