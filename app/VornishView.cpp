// Until the editor view control exists, the main window shows a stand-in at the view's place:
// the document's first lines as plain text in the view's font, read-only, focusable (it holds
// the first place of the tab order). Replacing the body of KivDemoCreateView with the real view
// is the only change the window needs.
#include "VornishView.h"

#include <QFont>
#include <QPaintEvent>
#include <QPainter>
#include <QString>
#include <QWidget>

#include "KivSedDocument.h"

namespace {

class TViewPlaceholder final : public QWidget {
 public:
  TViewPlaceholder(TKivEditDocument& ADoc, QWidget* AParent) : QWidget(AParent), FDoc(ADoc) {
    QFont font(QStringLiteral("Courier New"));
    font.setPixelSize(13);
    font.setStyleHint(QFont::TypeWriter);
    setFont(font);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    static constexpr int KTabWidth = 8;
    static constexpr int KLeftMargin = 4;
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(Qt::black);
    const QFontMetrics metrics(font());
    const int lineHeight = metrics.height();
    int y = metrics.ascent();
    for (Integer line = 0; line < FDoc.LinesCount() && y - metrics.ascent() < height(); ++line) {
      QString text;
      for (char16_t c : FDoc.GetLineText(line)) {
        if (c == u'\t')
          text += QString(KTabWidth - text.size() % KTabWidth, QLatin1Char(' '));
        else
          text += QChar(c);
      }
      painter.drawText(KLeftMargin, y, text);
      y += lineHeight;
    }
  }

 private:
  TKivEditDocument& FDoc;
};

}  // namespace

QWidget* KivDemoCreateView(TKivEditDocument& ADoc, QWidget* AParent) {
  return new TViewPlaceholder(ADoc, AParent);
}
