// The toolkit's own texts (standard buttons, file dialogs, message boxes) in
// Chinese, like the rest of the interface.
#pragma once

class QFileDialog;
class QTranslator;

namespace kelvane::ui {

// Makes Chinese (China) the toolkit's locale, whatever the system's is, so
// that its dialogs write dates and sizes as the rest of the interface
// speaks. Called before the application object is made.
void UseInterfaceLocale();

// Loads the toolkit's Chinese translations into `translator` and installs it
// in the running application, with the program's corrections of them (the
// file dialogs' size column is 大小); false when they are not installed on
// the system (the toolkit's English texts then stand).
bool InstallToolkitTranslations(QTranslator& translator);

// Gives a file dialog's type column the program's own labels (文件夹,
// "TOML 文件", "PNG 图片"), whatever the system's catalogue holds.
void UseProgramFileLabels(QFileDialog& dialog);

}  // namespace kelvane::ui
