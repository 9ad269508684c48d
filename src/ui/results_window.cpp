#include "ui/results_window.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QScreen>
#include <QScrollBar>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

#include "ui/case_session.h"
#include "ui/twips.h"

namespace kelvane::ui {

ResultsWindow::ResultsWindow(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(tr("输出"));
  resize(Px(9105), Px(7800));

  text1_ = new QPlainTextEdit(this);
  text1_->setObjectName(QStringLiteral("Text1"));
  text1_->setGeometry(0, 0, Px(9135), Px(7815));
  text1_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  text1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // The table's columns are runs of spaces and fixed-width fields.
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  if (!QFontInfo(font).fixedPitch()) {
    font.setFamily(QStringLiteral("monospace"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
  }
  text1_->setFont(font);
}

void ResultsWindow::resizeEvent(QResizeEvent* event) {
  // The text box keeps its margins to the window's edges as the window is
  // resized, so its scroll bars stay in view and a wider window shows more
  // columns.
  text1_->setGeometry(0, 0, width() + kBoxOverhangX, height() + kBoxOverhangY);
  QWidget::resizeEvent(event);
}

void ResultsWindow::Follow(const CaseSession& session) {
  connect(&session, &CaseSession::runStarted, this, &QWidget::hide);
}

void ResultsWindow::SetTableText(const QString& text) {
  QString lines = text;
  lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text1_->setPlainText(lines);
  // Wide enough for every column (the forebay's is the last), within the
  // screen; a window the user has made wider stays so.
  const QFontMetrics metrics(text1_->font());
  int widest = 0;
  for (const QString& line : lines.split(QLatin1Char('\n')))
    widest = std::max(widest, metrics.horizontalAdvance(line));
  const int frame = 2 * text1_->frameWidth();
  const int margins = static_cast<int>(std::ceil(2 * text1_->document()->documentMargin()));
  const int needed = widest + margins + frame + text1_->verticalScrollBar()->sizeHint().width() +
                     metrics.averageCharWidth() - kBoxOverhangX;
  int limit = needed;
  if (const QScreen* shown = screen()) limit = shown->availableGeometry().width() - 40;
  if (needed > width()) resize(std::min(needed, std::max(limit, width())), height());
}

}  // namespace kelvane::ui
