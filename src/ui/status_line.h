// The main window's status line: what the boxes give, item by item. Where the
// items do not all fit the line's width, it shows those that do, then "…";
// its tooltip lists every item whole, one a line.
#pragma once

#include <QLabel>
#include <QStringList>

namespace kelvane::ui {

class StatusLine : public QLabel {
  Q_OBJECT

 public:
  explicit StatusLine(QWidget* parent = nullptr);

  void SetItems(const QStringList& items);
  // Every item, as the tooltip lists them.
  const QStringList& Items() const { return items_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Fit();

  QStringList items_;
};

}  // namespace kelvane::ui
