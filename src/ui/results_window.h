// The results window: one multi-line text box that shows the results table.
#pragma once

#include <QPlainTextEdit>
#include <QWidget>

namespace kelvane::ui {

class ResultsWindow : public QWidget {
  Q_OBJECT

 public:
  explicit ResultsWindow(QWidget* parent = nullptr);

  QPlainTextEdit* Text1() const { return text1_; }
  // Replaces the text box's text; CR LF line ends are accepted.
  void SetTableText(const QString& text);

 private:
  QPlainTextEdit* text1_;
};

}  // namespace kelvane::ui
