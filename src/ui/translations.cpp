#include "ui/translations.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace kelvane::ui {

void UseInterfaceLocale() {
  // The file dialogs write dates in the system's locale, which the toolkit
  // reads from the environment once, when it is first asked for.
  const QByteArray chinese("zh_CN.UTF-8");
  qputenv("LC_TIME", chinese);
  if (!qEnvironmentVariableIsEmpty("LC_ALL")) qputenv("LC_ALL", chinese);
  QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
}

bool InstallToolkitTranslations(QTranslator& translator) {
  if (!translator.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                       QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    return false;
  }
  return QCoreApplication::installTranslator(&translator);
}

}  // namespace kelvane::ui
