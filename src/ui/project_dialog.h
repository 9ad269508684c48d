// The 工程信息 dialog: what the calculation book says of the project (its
// cover, sign-off page and basis), one box per text and the basis as one
// line per standard or document. A text the case file cannot hold (a tab or
// other control character) tints its box and holds 确定 back.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <array>

#include "report/project_info.h"

namespace kelvane::ui {

class ProjectDialog : public QDialog {
  Q_OBJECT

 public:
  explicit ProjectDialog(const ProjectInfo& info, QWidget* parent = nullptr);

  // The texts as typed; the basis without its blank lines.
  ProjectInfo Info() const;
  // The box of a text, its object name the case file's key ("calculated_by").
  QLineEdit* Box(const ProjectText& field) const;
  // The basis, object name "basis".
  QPlainTextEdit* Basis() const { return basis_; }
  QPushButton* OkButton() const { return ok_; }

 private:
  void ShowFlags();

  std::array<QLineEdit*, std::size(kProjectTexts)> boxes_{};
  QPlainTextEdit* basis_;
  QPushButton* ok_;
};

}  // namespace kelvane::ui
