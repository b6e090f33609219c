// The clipboard helpers on the application's clipboard.
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

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

namespace {

void PutOnClipboard(QClipboard& AClipboard, const QString& AText, bool AIsRectBlock) {
  auto* data = new QMimeData;
  data->setText(AText);
  if (AIsRectBlock) data->setData(QLatin1String(kivRectBlockMimeType), RectBlockMark());
  AClipboard.setMimeData(data);  // takes ownership
}

// A fresh buffer of many megabytes is first touched page by page; where the system offers
// large pages on request, its whole pages are asked for them (a hint: nothing else changes).
void AdviseLargePages(void* AData, size_t ABytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr uintptr_t kLarge = uintptr_t(2) << 20;
  if (ABytes < 4 * kLarge) return;
  const uintptr_t from = (reinterpret_cast<uintptr_t>(AData) + kLarge - 1) & ~(kLarge - 1);
  const uintptr_t to = (reinterpret_cast<uintptr_t>(AData) + ABytes) & ~(kLarge - 1);
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
  (void)AData;
  (void)ABytes;
#endif
}

}  // namespace

void SetClipboardText(TKivStringView AText, bool AIsRectBlock) {
  QClipboard& clipboard = Clipboard();
  if (AText.empty()) return;
  PutOnClipboard(clipboard,
                 QString(reinterpret_cast<const QChar*>(AText.data()), qsizetype(AText.size())), AIsRectBlock);
}

void CopySegmentToClipboard(const TKivSegment& ASeg, bool AIsRectBlock) {
  SetClipboardText(SegmentToString(ASeg), AIsRectBlock);
}

void TKivQtClipboard::SetTextFilled(size_t ALength, const std::function<void(Char*)>& AFill,
                                    bool AIsRectBlock) {
  QClipboard& clipboard = Clipboard();
  if (ALength == 0) return;
  QString text(qsizetype(ALength), Qt::Uninitialized);
  AdviseLargePages(text.data(), ALength * sizeof(QChar));
  AFill(reinterpret_cast<Char*>(text.data()));
  PutOnClipboard(clipboard, text, AIsRectBlock);
}

void TKivQtClipboard::ReadText(const std::function<void(TKivStringView, bool)>& AUse) {
  const QMimeData* data = Clipboard().mimeData();
  if (!data) {
    AUse({}, false);
    return;
  }
  // Held for the call: the clipboard's data may change while AUse runs.
  const QString text = data->text();
  const bool rect = data->hasFormat(QLatin1String(kivRectBlockMimeType));
  AUse(TKivStringView(reinterpret_cast<const Char*>(text.utf16()), size_t(text.size())), rect);
}

TKivQtClipboard& TKivQtClipboard::Instance() {
  static TKivQtClipboard instance;
  return instance;
}
