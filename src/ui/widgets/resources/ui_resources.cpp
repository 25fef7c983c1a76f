#include "ui/widgets/resources/ui_resources.h"

#include <QDir>
#include <QStringList>

#include <QFileInfo>
#include <QPixmap>
#include <algorithm>

// Q_INIT_RESOURCE must stand outside any namespace. Calling it from the
// lookups also makes the linker keep the resource data of this static
// library.
static void InitArtResources() {
  static const bool done = [] {
    Q_INIT_RESOURCE(auralith_art);
    return true;
  }();
  (void)done;
}

QString ImageResourcePath(int number) {
  InitArtResources();
  return QStringLiteral(":/images/%1.png").arg(number);
}

QString ImageResourcePath2x(int number) {
  InitArtResources();
  return QStringLiteral(":/images/%1@2x.png").arg(number);
}

static QList<int> NumbersIn(const QString& folder, QDir::Filters filter) {
  InitArtResources();
  QList<int> numbers;
  const QStringList names = QDir(folder).entryList(filter);
  for (const QString& name : names) {
    bool ok = false;
    const int number = QFileInfo(name).baseName().toInt(&ok);
    if (ok) {
      numbers.append(number);
    }
  }
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

QList<int> ImageResourceNumbers() { return NumbersIn(QStringLiteral(":/images"), QDir::Files); }

QList<int> IconResourceNumbers() { return NumbersIn(QStringLiteral(":/icons"), QDir::Dirs); }

QIcon LoadIconResource(int number) {
  InitArtResources();
  QIcon icon;
  const QDir dir(QStringLiteral(":/icons/%1").arg(number));
  const QFileInfoList files = dir.entryInfoList(QDir::Files);
  for (const QFileInfo& file : files) {
    QPixmap pixmap;
    if (pixmap.load(file.filePath())) {
      icon.addPixmap(pixmap);
    }
  }
  return icon;
}
