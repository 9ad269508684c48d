// The help window: the user's manual (docs/manual.md, built into the program
// as a resource with the pictures it shows) rendered from its Markdown.
#pragma once

#include <QString>

class QTextBrowser;
class QWidget;

namespace kelvane::ui {

// A new, hidden help window showing the manual, its table of contents'
// links leading to their headings; Esc closes it. With a parent it is a
// window of its own over it, which a modal parent leaves usable.
QTextBrowser* NewHelpWindow(QWidget* parent = nullptr);

// Shows the help window of `owner` (made the first time) at `heading`, one of
// the manual's headings as written ("四、工况：…").
void ShowHelpAt(QWidget& owner, const QString& heading);

// The anchor a link to a heading names, as the manual writes its table of
// contents: lower case, blanks as "-", every other character that is neither
// a letter, a digit, "-" nor "_" dropped ("十、批处理：kelvane --batch" is
// "十批处理kelvane---batch").
QString HeadingAnchor(const QString& heading);

}  // namespace kelvane::ui
