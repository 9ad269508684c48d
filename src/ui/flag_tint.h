// How the windows mark a value that cannot be used as typed: the tint of its
// box or cell, and a tooltip of plain lines (rich text, so that a typed "<"
// shows as itself, and not wrapped).
#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

namespace kelvane::ui {

inline QColor FlaggedBackColor() { return QColor(0xFF, 0xE0, 0x80); }

inline QString FlagToolTip(QStringList lines) {
  for (QString& line : lines) line = line.toHtmlEscaped();
  return QStringLiteral("<qt><nobr>") + lines.join(QStringLiteral("<br>")) +
         QStringLiteral("</nobr>");
}

}  // namespace kelvane::ui
