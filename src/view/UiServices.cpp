#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>

#include "KivUiServices.h"

namespace {

QString Caption() {
  QString name = QApplication::applicationName();
  return name.isEmpty() ? QStringLiteral("Vornish") : name;
}

QMessageBox::StandardButton ToQt(TKivUiButton AButton) {
  switch (AButton) {
    case TKivUiButton::Yes: return QMessageBox::Yes;
    case TKivUiButton::No: return QMessageBox::No;
    case TKivUiButton::Cancel: return QMessageBox::Cancel;
    case TKivUiButton::Ok: return QMessageBox::Ok;
  }
  return QMessageBox::NoButton;
}

class TStandardUiServices final : public IKivUiServices {
 public:
  TKivUiButton Question(QWidget* AParent, const QString& AText, TKivUiButtons AButtons,
                        TKivUiButton ADefault, const QPoint* APlace) override {
    QMessageBox box(QMessageBox::Question, Caption(), AText, QMessageBox::NoButton, AParent);
    const TKivUiButton order[] = {TKivUiButton::Yes, TKivUiButton::No, TKivUiButton::Ok,
                                  TKivUiButton::Cancel};
    for (TKivUiButton b : order)
      if (AButtons & static_cast<uint8_t>(b)) box.addButton(ToQt(b));
    box.setDefaultButton(ToQt(ADefault));
    if (AButtons & static_cast<uint8_t>(TKivUiButton::Cancel))
      box.setEscapeButton(QMessageBox::Cancel);
    else if (AButtons & static_cast<uint8_t>(TKivUiButton::No))
      box.setEscapeButton(QMessageBox::No);
    if (APlace) {
      box.adjustSize();
      box.move(*APlace);
    }
    int r = box.exec();
    for (TKivUiButton b : order)
      if (r == ToQt(b)) return b;
    if (AButtons & static_cast<uint8_t>(TKivUiButton::Cancel)) return TKivUiButton::Cancel;
    return (AButtons & static_cast<uint8_t>(TKivUiButton::No)) ? TKivUiButton::No : ADefault;
  }
  void ErrorBox(QWidget* AParent, const QString& AText) override {
    QMessageBox::critical(AParent, Caption(), AText);
  }
  void InfoBox(QWidget* AParent, const QString& AText) override {
    QMessageBox::information(AParent, Caption(), AText);
  }
  bool InputBox(QWidget* AParent, const QString& ACaption, const QString& APrompt,
                QString& AValue) override {
    bool ok = false;
    QString v = QInputDialog::getText(AParent, ACaption, APrompt, QLineEdit::Normal, AValue, &ok);
    if (ok) AValue = v;
    return ok;
  }
  bool ChooseColor(QWidget* AParent, QColor& AColor) override {
    QColor c = QColorDialog::getColor(AColor, AParent);
    if (!c.isValid()) return false;
    AColor = c;
    return true;
  }
  bool ChooseFont(QWidget* AParent, QFont& AFont) override {
    bool ok = false;
    QFont f = QFontDialog::getFont(&ok, AFont, AParent);
    if (ok) AFont = f;
    return ok;
  }
  bool ChooseOpenFile(QWidget* AParent, const QString& ACaption, const QString& AFilter,
                      QString& AFileName) override {
    QString f = QFileDialog::getOpenFileName(AParent, ACaption, AFileName, AFilter);
    if (f.isEmpty()) return false;
    AFileName = f;
    return true;
  }
  bool ChooseSaveFile(QWidget* AParent, const QString& ACaption, const QString& AFilter,
                      const QString& ADefaultExt, QString& AFileName) override {
    QFileDialog dlg(AParent, ACaption, AFileName, AFilter);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setOption(QFileDialog::DontConfirmOverwrite);
    dlg.setDefaultSuffix(ADefaultExt);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return false;
    AFileName = dlg.selectedFiles().first();
    return true;
  }
  void Beep() override { QApplication::beep(); }
};

TStandardUiServices GStandard;
IKivUiServices* GInstalled = nullptr;

}  // namespace

IKivUiServices& KivUiServices() { return GInstalled ? *GInstalled : GStandard; }

IKivUiServices* SetKivUiServices(IKivUiServices* AServices) {
  IKivUiServices* old = GInstalled;
  GInstalled = AServices;
  return old;
}
