#include "ui/status_line.h"

#include <QFontMetrics>

namespace kelvane::ui {

namespace {

const QString kSeparator = QStringLiteral("　");
const QString kMore = QStringLiteral("　…");

}  // namespace

StatusLine::StatusLine(QWidget* parent) : QLabel(parent) {
  // The line takes the room the status bar gives it, whatever its text.
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void StatusLine::SetItems(const QStringList& items) {
  items_ = items;
  setToolTip(items_.join(QLatin1Char('\n')));
  Fit();
}

void StatusLine::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Fit();
}

void StatusLine::Fit() {
  const QFontMetrics metrics = fontMetrics();
  const int room = contentsRect().width();
  qsizetype count = items_.size();
  QString shown = items_.join(kSeparator);
  while (count > 1 && metrics.horizontalAdvance(shown) > room) {
    --count;
    shown = items_.first(count).join(kSeparator) + kMore;
  }
  if (metrics.horizontalAdvance(shown) > room)
    shown = metrics.elidedText(shown, Qt::ElideRight, room);
  setText(shown);
}

}  // namespace kelvane::ui
