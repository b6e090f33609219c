// The print preview's images: 16 toolbar icons, each drawn once as an SVG file compiled in as a
// Qt resource and rendered to the images KIV_PRINT_<NAME>_18, _27 and _36. An image of any
// other size is scaled from the nearest of the three.
#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

class TKivPrintResDataModule {
 public:
  // The 16 names, in the toolbar's order: KIV_PRINT_PRINT ... KIV_PRINT_CLOSE.
  static const QStringList& ImageNames();
  // A named image, e.g. "KIV_PRINT_PLUS_27" (premultiplied ARGB); a null image for other names.
  static QImage NamedImage(const QString& AName);
  // The image AName (without suffix) at ASize x ASize: "_36" when ASize >= 36, "_18" below 27,
  // else "_27", scaled smoothly when its size differs. A null image for ASize <= 0.
  static QImage Image(const QString& AName, int ASize);
  // Clears AResult and adds the 16 images of that size.
  static void GetToolbarImages(int ASize, QList<QImage>& AResult);
  // The KIV_PRINT_ZOOM100 image of that size.
  static QImage GetModeBitmap(int ASize);
};
