#include "ui/case_picker.h"

#include <QSignalBlocker>
#include <algorithm>

namespace kelvane::ui {

CasePicker::CasePicker(QWidget* parent) : QListWidget(parent) {
  setObjectName(QStringLiteral("Cases"));
  setToolTip(tr("勾选要画的工况：一种颜色一个工况；表格显示勾选的第一个工况"));
  connect(this, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
    // The last tick stays: a chart of no case would show nothing.
    if (Picked().empty()) {
      const QSignalBlocker blocker(this);
      item->setCheckState(Qt::Checked);
      return;
    }
    emit pickedChanged();
  });
  hide();
}

void CasePicker::SetNames(const std::vector<std::string>& names) {
  QStringList kept;
  for (int row : Picked()) kept << item(row)->text();
  {
    const QSignalBlocker blocker(this);
    clear();
    for (const std::string& name : names) {
      auto* row = new QListWidgetItem(QString::fromStdString(name), this);
      row->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
      row->setCheckState(kept.contains(row->text()) ? Qt::Checked : Qt::Unchecked);
    }
    if (count() > 0 && Picked().empty()) item(0)->setCheckState(Qt::Checked);
  }
  // As tall as its rows (up to eight), so that the lists above keep the room.
  const int rows = std::clamp(count(), 1, 8);
  setMaximumHeight(rows * std::max(sizeHintForRow(0), fontMetrics().height()) + 2 * frameWidth() +
                   4);
  setVisible(count() > 1);
}

std::vector<int> CasePicker::Picked() const {
  std::vector<int> rows;
  for (int k = 0; k < count(); ++k) {
    if (item(k)->checkState() == Qt::Checked) rows.push_back(k);
  }
  return rows;
}

void CasePicker::SetPicked(const std::vector<int>& rows) {
  {
    const QSignalBlocker blocker(this);
    for (int k = 0; k < count(); ++k) {
      const bool on = std::find(rows.begin(), rows.end(), k) != rows.end();
      item(k)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    }
    if (count() > 0 && Picked().empty()) item(0)->setCheckState(Qt::Checked);
  }
  emit pickedChanged();
}

}  // namespace kelvane::ui
