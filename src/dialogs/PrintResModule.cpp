#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

#include "KivPrintResModule.h"

namespace {

struct TIcon {
  const char* Name;  // after "KIV_PRINT_"
  const char* File;  // the SVG resource
};
const TIcon kIcons[] = {
    {"PRINT", "print"},       {"SETTINGS", "settings"},   {"PAGESETTINGS", "pagesettings"},
    {"SAVE", "save"},         {"ZOOM100", "zoom100"},     {"ZOOMWIDTH", "zoomwidth"},
    {"ONEPAGE", "onepage"},   {"TWOPAGES", "twopages"},   {"FOURPAGES", "fourpages"},
    {"MINUS", "minus"},       {"PLUS", "plus"},           {"FIRST", "first"},
    {"PREV", "prev"},         {"NEXT", "next"},           {"LAST", "last"},
    {"CLOSE", "close"},
};
const int kSizes[] = {18, 27, 36};

}  // namespace

// Outside any namespace: Q_INIT_RESOURCE declares the resource's function where it is used.
static void KivInitPrintResources() {
  static const bool done = [] {
    Q_INIT_RESOURCE(KivPrintImages);
    return true;
  }();
  (void)done;
}

const QStringList& TKivPrintResDataModule::ImageNames() {
  static const QStringList names = [] {
    QStringList list;
    for (const TIcon& icon : kIcons) list << QStringLiteral("KIV_PRINT_") + QLatin1String(icon.Name);
    return list;
  }();
  return names;
}

QImage TKivPrintResDataModule::NamedImage(const QString& AName) {
  static QHash<QString, QImage> cache;
  const auto found = cache.constFind(AName);
  if (found != cache.constEnd()) return *found;
  const qsizetype cut = AName.lastIndexOf(u'_');
  if (cut < 0) return {};
  const QString base = AName.left(cut);
  bool ok = false;
  const int size = AName.mid(cut + 1).toInt(&ok);
  const qsizetype index = ImageNames().indexOf(base);
  if (!ok || index < 0 || std::find(std::begin(kSizes), std::end(kSizes), size) == std::end(kSizes)) return {};
  KivInitPrintResources();
  QSvgRenderer renderer(QStringLiteral(":/kivprint/%1.svg").arg(QLatin1String(kIcons[index].File)));
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(0, 0, size, size));
  }
  cache.insert(AName, image);
  return image;
}

QImage TKivPrintResDataModule::Image(const QString& AName, int ASize) {
  if (ASize <= 0) return {};
  const char* suffix = ASize >= 36 ? "_36" : ASize < 27 ? "_18" : "_27";
  QImage image = NamedImage(AName + QLatin1String(suffix));
  if (image.isNull() || image.width() == ASize) return image;
  return image.scaled(ASize, ASize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
      .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void TKivPrintResDataModule::GetToolbarImages(int ASize, QList<QImage>& AResult) {
  AResult.clear();
  for (const QString& name : ImageNames()) AResult.append(Image(name, ASize));
}

QImage TKivPrintResDataModule::GetModeBitmap(int ASize) {
  return Image(QStringLiteral("KIV_PRINT_ZOOM100"), ASize);
}
