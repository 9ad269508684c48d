// The results window: one multi-line text box that shows the results table.
#pragma once

#include <QPlainTextEdit>
#include <QWidget>

namespace kelvane::ui {

class CaseSession;

class ResultsWindow : public QWidget {
  Q_OBJECT

 public:
  explicit ResultsWindow(QWidget* parent = nullptr);

  QPlainTextEdit* Text1() const { return text1_; }
  // Replaces the text box's text; CR LF line ends are accepted.
  void SetTableText(const QString& text);
  // Hides as each of `session`'s runs starts: its table is of the run
  // replaced. `session` must outlive the window.
  void Follow(const CaseSession& session);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  // The text box is laid out 2 pixels wider and 1 higher than the window.
  static constexpr int kBoxOverhangX = 2;
  static constexpr int kBoxOverhangY = 1;
  QPlainTextEdit* text1_;
};

}  // namespace kelvane::ui
