// The toolkit's own texts (standard buttons, file dialogs, message boxes) in
// Chinese, like the rest of the interface.
#pragma once

class QTranslator;

namespace kelvane::ui {

// Makes Chinese (China) the toolkit's locale, whatever the system's is, so
// that its dialogs write dates and sizes as the rest of the interface
// speaks. Called before the application object is made.
void UseInterfaceLocale();

// Loads the toolkit's Chinese translations into `translator` and installs it
// in the running application; false when they are not installed on the
// system (the toolkit's English texts then stand).
bool InstallToolkitTranslations(QTranslator& translator);

}  // namespace kelvane::ui
