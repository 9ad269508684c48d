// The operating cases the chart windows can show beside the main window's
// own run, and the checkable list that picks among them.
#pragma once

#include <QListWidget>
#include <string>
#include <vector>

#include "model/model.h"
#include "texts/design_data.h"

namespace kelvane::ui {

// A complete run a chart window can show: the main window's own, or an
// operating case's of the last book.
struct ChartCase {
  std::string name;
  const SurgeRun* run = nullptr;  // read until the window is given others or detached
  RunOutcome outcome;
  DesignData design;
};

// The cases, one checkable row each, the main window's own first. Hidden
// while there is no case but the main window's own. The picked cases keep
// their ticks by name when the cases are replaced; with none left, the first
// is picked.
class CasePicker : public QListWidget {
  Q_OBJECT

 public:
  explicit CasePicker(QWidget* parent = nullptr);

  void SetNames(const std::vector<std::string>& names);
  // The rows ticked, ascending; at least one while there are rows.
  std::vector<int> Picked() const;
  void SetPicked(const std::vector<int>& rows);

 signals:
  void pickedChanged();
};

}  // namespace kelvane::ui
