// The clipboard helpers on the application's clipboard.
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "KivSedClipboard.h"

namespace {

QClipboard& Clipboard() {
  if (!qGuiApp) throw EKivEditViewError(u"The clipboard needs the application object");
  return *QGuiApplication::clipboard();
}

// The mark's data: a space and its terminating zero in UTF-16.
QByteArray RectBlockMark() {
  return QByteArray("\x20\x00\x00\x00", 4);
}

}  // namespace

bool ClipboardHasText() {
  const QMimeData* data = Clipboard().mimeData();
  return data && data->hasText();
}

void GetClipboardText(TKivString& AText, bool& AIsRectBlock) {
  const QMimeData* data = Clipboard().mimeData();
  TKivString text;
  bool rect = false;
  if (data) {
    const QString qtext = data->text();
    text.assign(reinterpret_cast<const Char*>(qtext.utf16()), size_t(qtext.size()));
    rect = data->hasFormat(QLatin1String(kivRectBlockMimeType));
  }
  AText = std::move(text);
  AIsRectBlock = rect;
}

void SetClipboardText(TKivStringView AText, bool AIsRectBlock) {
  QClipboard& clipboard = Clipboard();
  if (AText.empty()) return;
  auto* data = new QMimeData;
  data->setText(QString(reinterpret_cast<const QChar*>(AText.data()), qsizetype(AText.size())));
  if (AIsRectBlock) data->setData(QLatin1String(kivRectBlockMimeType), RectBlockMark());
  clipboard.setMimeData(data);  // takes ownership
}

void CopySegmentToClipboard(const TKivSegment& ASeg, bool AIsRectBlock) {
  SetClipboardText(SegmentToString(ASeg), AIsRectBlock);
}

TKivQtClipboard& TKivQtClipboard::Instance() {
  static TKivQtClipboard instance;
  return instance;
}
