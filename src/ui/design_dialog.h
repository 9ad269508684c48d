// The 设计资料 dialog: one box per item of design data, each left empty
// when the item is not given, checked as it is typed as the input boxes are
// (tint and tooltip). 确定 takes the texts, 取消 leaves them, 清除 empties
// every box.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <array>

#include "model/inputs.h"
#include "model/pump_event.h"
#include "texts/design_data.h"

namespace kelvane::ui {

class DesignDialog : public QDialog {
  Q_OBJECT

 public:
  // `inputs`: the main window's boxes, whose slope and length the inverts
  // are checked against, and with `extras` (the pump event and model in
  // force) the run whose first step the soffit is held against.
  explicit DesignDialog(const DesignTexts& texts, const InputTexts& inputs = DefaultInputTexts(),
                        QWidget* parent = nullptr, ModelExtras extras = {});

  // The boxes' texts: an empty or blank box is an item not given.
  DesignTexts Texts() const;
  // The box of an item; its object name is the item's option
  // ("culvert-height").
  QLineEdit* Box(DesignId id) const { return boxes_[static_cast<std::size_t>(id)]; }
  QPushButton* ClearButton() const { return clear_; }

 private:
  void ShowFlags();

  InputTexts inputs_;
  ModelExtras extras_;
  std::array<QLineEdit*, kDesignCount> boxes_{};
  QPushButton* clear_;
};

}  // namespace kelvane::ui
