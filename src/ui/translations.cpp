#include "ui/translations.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace kelvane::ui {

namespace {

// The toolkit's Chinese texts that its own translation gets wrong, asked
// before it.
class ToolkitCorrections : public QTranslator {
 public:
  bool isEmpty() const override { return false; }
  QString translate(const char* context, const char* source, const char* /*disambiguation*/,
                    int /*n*/) const override {
    if (qstrcmp(context, "QFileSystemModel") == 0 && qstrcmp(source, "Size") == 0)
      return QStringLiteral("大小");  // the toolkit's own: "体积", a volume
    return QString();
  }
};

// The type column of the file dialogs in the program's words, on every
// system: the toolkit names folders in English and takes a file's type from
// the system's catalogue, which may lack Chinese ("TOML document").
class FileTypeLabels : public QFileIconProvider {
 public:
  QString type(const QFileInfo& info) const override {
    if (info.isRoot()) return QStringLiteral("驱动器");
    if (info.isDir()) return QStringLiteral("文件夹");
    const QString suffix = info.suffix().toLower();
    if (suffix.isEmpty()) return QStringLiteral("文件");
    if (suffix == QLatin1String("txt")) return QStringLiteral("文本文件");
    if (suffix == QLatin1String("png") || suffix == QLatin1String("svg"))
      return suffix.toUpper() + QStringLiteral(" 图片");
    return suffix.toUpper() + QStringLiteral(" 文件");
  }
};

}  // namespace

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
  if (!QCoreApplication::installTranslator(&translator)) return false;
  // Installed last, asked first.
  static ToolkitCorrections corrections;
  QCoreApplication::removeTranslator(&corrections);
  return QCoreApplication::installTranslator(&corrections);
}

void UseProgramFileLabels(QFileDialog& dialog) {
  static FileTypeLabels labels;
  dialog.setIconProvider(&labels);
}

}  // namespace kelvane::ui
