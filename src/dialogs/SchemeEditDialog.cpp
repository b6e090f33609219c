#include <QApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <ios>

#include "KivRegExpr.h"
#include "KivSedParser.h"
#include "KivSedSchemeEditDialog.h"
#include "KivSedView.h"
#include "KivUiServices.h"
#include "KivXML.h"
#include "internal/SchemeDialogsData.h"

namespace {

const char* const kFilter = "Schemes (*.xml);;Any files (*)";

}  // namespace

TKivSedSchemeEditDlg::TKivSedSchemeEditDlg(QWidget* AParent) : TKivSedDialogForm(AParent) {
  setWindowTitle(QStringLiteral("Edit scheme"));
  Doc = std::make_unique<TKivEditDocument>();
  KivFillSchemeEditDocument(*Doc);
  KivEditView1 = new TKivEditView(this);
  TKivViewFont font;
  font.Name = u"Courier New";
  font.PixelSize = 13;
  KivEditView1->SetFont(font);
  KivEditView1->SetDocument(Doc.get());
  Button1 = new QPushButton(QStringLiteral("OK"), this);
  Button2 = new QPushButton(QStringLiteral("Cancel"), this);
  Button3 = new QPushButton(QStringLiteral("Load..."), this);
  Button4 = new QPushButton(QStringLiteral("Save..."), this);
  for (QPushButton* b : {Button1, Button2, Button3, Button4}) {
    b->setMinimumSize(75, 25);
    b->setAutoDefault(false);
  }
  Button1->setDefault(true);
  OnClick(Button1, [this] { accept(); });
  OnClick(Button2, [this] { reject(); });
  OnClick(Button3, [this] { LoadFromFile(); });
  OnClick(Button4, [this] { SaveToFile(); });

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(KivEditView1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(0, 8, 0, 4);
  buttons->addWidget(Button3);
  buttons->addWidget(Button4);
  buttons->addStretch(1);
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  layout->addLayout(buttons);
  setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
  resize(625, 393);
  setMinimumSize(269, 204);
  KivEditView1->setFocus();
}

TKivSedSchemeEditDlg::~TKivSedSchemeEditDlg() {
  // The view goes with the widgets, after the document: it lets go of it first.
  KivEditView1->SetDocument(nullptr);
}

void TKivSedSchemeEditDlg::LoadFromFile() {
  QString fileName;
  if (!KivUiServices().ChooseOpenFile(this, QStringLiteral("Load..."), QString::fromLatin1(kFilter), fileName))
    return;
  // The document's file reading: a byte-order mark selects the encoding, else UTF-8. A file that
  // cannot be read leaves the text as it was.
  TKivEditDocument file;
  file.LoadFromFile(fileName.toStdU16String(), 0, true);
  Doc->SetLines(file.Lines());
}

void TKivSedSchemeEditDlg::SaveToFile() {
  QString fileName;
  if (!KivUiServices().ChooseSaveFile(this, QStringLiteral("Save..."), QString::fromLatin1(kFilter),
                                      QStringLiteral("xml"), fileName))
    return;
  Doc->SaveToFile(fileName.toStdU16String(), 0, false);
}

bool ExecuteSchemeEditDlg(TKivEditParserSchemeStrings& AScheme, TKivEditSchemeKind AKind, const TKivString& ACaption,
                          const TKivSchemeEditDlgCallback& ACallback, void* AUserValue) {
  KIV_ASSERT(AKind == skSyntax || AKind == skColor, "SchemeEditDialog");
  TKivSedSchemeEditDlg dlg(QApplication::activeWindow());
  if (!ACaption.empty()) dlg.setWindowTitle(QString::fromStdU16String(ACaption));
  dlg.Doc->SetLines(AScheme);
  if (ACallback) ACallback(AUserValue, dlg);
  if (dlg.exec() != QDialog::Accepted) return false;
  try {
    AScheme.Assign(dlg.Doc->Lines());
  } catch (const std::exception& e) {
    const char16_t* format = AKind == skSyntax
                                 ? u"Error %s on loading syntax scheme contents. Original message: %s"
                                 : u"Error %s on loading color scheme contents. Original message: %s";
    const auto* kiv = dynamic_cast<const EKivError*>(&e);
    const TKivString text =
        KivFormat(format, {KivErrorClassName(e), kiv ? kiv->Message() : KivFromUtf8(e.what())});
    KivUiServices().ErrorBox(dlg.parentWidget(), QString::fromStdU16String(text));
  }
  return true;
}

bool ExecuteSchemeEditDlg(TKivEditParserSchemeStrings& AScheme, TKivEditSchemeKind AKind, const TKivString& ACaption) {
  return ExecuteSchemeEditDlg(AScheme, AKind, ACaption, nullptr, nullptr);
}
