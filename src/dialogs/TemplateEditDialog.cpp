#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "KivQtPrint.h"
#include "KivSedPrintDialogs.h"
#include "KivUiServices.h"

namespace {
const char* const kFilter = "HTML files (*.html *.htm);;Text files (*.txt)";

bool IsText(const QString& AFileName) {
  return QFileInfo(AFileName).suffix().compare(QStringLiteral("txt"), Qt::CaseInsensitive) == 0;
}
}  // namespace

TKivTemplateEditDialog::TKivTemplateEditDialog(QWidget* AParent) : TKivSedDialogForm(AParent) {
  setWindowTitle(QStringLiteral("Edit template"));
  reMain = new QTextEdit(this);
  reMain->setAcceptRichText(true);
  QFont font(QStringLiteral("Arial"));
  font.setPointSize(8);
  reMain->document()->setDefaultFont(font);
  reMain->installEventFilter(this);

  auto action = [this](const char* ACaption, QKeySequence AKey, bool ACheckable, std::function<void()> AFn) {
    auto* a = new QAction(QString::fromUtf8(ACaption), this);
    if (!AKey.isEmpty()) {
      a->setShortcut(AKey);
      a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    }
    a->setCheckable(ACheckable);
    QObject::connect(a, &QAction::triggered, this, [this, fn = std::move(AFn)] {
      RunGuarded(fn);
      UpdateActions();
    });
    addAction(a);
    return a;
  };
  auto toggleFormat = [this](auto ASet) {
    QTextCharFormat f;
    ASet(f, reMain->currentCharFormat());
    reMain->mergeCurrentCharFormat(f);
  };
  actFileOpen = action("&Open", QKeySequence(Qt::CTRL | Qt::Key_O), false, [this] { OpenFile(); });
  actFileSaveAs = action("Save &As", {}, false, [this] { SaveFileAs(); });
  actUndo = action("&Undo", QKeySequence(Qt::CTRL | Qt::Key_Z), false, [this] { reMain->undo(); });
  actFontEdit = action("Select &Font...", {}, false, [this] { EditFont(); });
  actBold = action("&Bold", QKeySequence(Qt::CTRL | Qt::Key_B), true, [toggleFormat] {
    toggleFormat([](QTextCharFormat& F, const QTextCharFormat& C) {
      F.setFontWeight(C.fontWeight() > QFont::Normal ? QFont::Normal : QFont::Bold);
    });
  });
  actItalic = action("&Italic", QKeySequence(Qt::CTRL | Qt::Key_I), true, [toggleFormat] {
    toggleFormat([](QTextCharFormat& F, const QTextCharFormat& C) { F.setFontItalic(!C.fontItalic()); });
  });
  actUnderline = action("Un&derline", QKeySequence(Qt::CTRL | Qt::Key_U), true, [toggleFormat] {
    toggleFormat([](QTextCharFormat& F, const QTextCharFormat& C) { F.setFontUnderline(!C.fontUnderline()); });
  });
  actAlignLeft = action("Align &Left", {}, true, [this] { reMain->setAlignment(Qt::AlignLeft | Qt::AlignAbsolute); });
  actAlignCenter = action("&Center", {}, true, [this] { reMain->setAlignment(Qt::AlignHCenter); });
  actAlignRight = action("Align &Right", {}, true, [this] { reMain->setAlignment(Qt::AlignRight | Qt::AlignAbsolute); });
  actUndo->setEnabled(false);
  // The tool bar shows short texts, so the whole bar fits the window's width.
  actFontEdit->setIconText(QStringLiteral("Font"));
  actBold->setIconText(QStringLiteral("B"));
  actItalic->setIconText(QStringLiteral("I"));
  actUnderline->setIconText(QStringLiteral("U"));
  actAlignLeft->setIconText(QStringLiteral("Left"));
  actAlignCenter->setIconText(QStringLiteral("Center"));
  actAlignRight->setIconText(QStringLiteral("Right"));

  mnuFields = new QMenu(this);
  const std::pair<const char*, const char*> fields[] = {
      {"Current page", "[Page]"}, {"Total pages", "[PagesCount]"}, {"Document title", "[Title]"}};
  for (const auto& [caption, field] : fields) {
    QAction* a = mnuFields->addAction(QString::fromUtf8(caption));
    const QString text = QString::fromUtf8(field);
    QObject::connect(a, &QAction::triggered, this, [this, text] { RunGuarded([&] { InsertField(text); }); });
  }

  tbMain = new QToolBar(this);
  tbMain->addAction(actFileOpen);
  tbMain->addAction(actFileSaveAs);
  tbMain->addSeparator();
  tbMain->addAction(actUndo);
  tbMain->addSeparator();
  tbMain->addAction(actFontEdit);
  tbMain->addAction(actBold);
  tbMain->addAction(actItalic);
  tbMain->addAction(actUnderline);
  tbMain->addSeparator();
  tbMain->addAction(actAlignLeft);
  tbMain->addAction(actAlignCenter);
  tbMain->addAction(actAlignRight);
  tbMain->addSeparator();
  btnFields = new QToolButton(tbMain);
  btnFields->setText(QStringLiteral("Fields"));
  btnFields->setMenu(mnuFields);
  btnFields->setPopupMode(QToolButton::InstantPopup);
  tbMain->addWidget(btnFields);
  auto styled = [this](QAction* AAction, auto ASet) {
    QWidget* button = tbMain->widgetForAction(AAction);
    QFont f = button->font();
    ASet(f);
    button->setFont(f);
  };
  styled(actBold, [](QFont& F) { F.setBold(true); });
  styled(actItalic, [](QFont& F) { F.setItalic(true); });
  styled(actUnderline, [](QFont& F) { F.setUnderline(true); });

  btnOk = new QPushButton(QStringLiteral("Ok"), this);
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btnOk->setDefault(true);
  btnCancel->setAutoDefault(false);
  OnClick(btnOk, [this] { accept(); });
  OnClick(btnCancel, [this] { reject(); });

  auto* main = new QVBoxLayout(this);
  main->setContentsMargins(0, 0, 0, 8);
  main->addWidget(tbMain);
  main->addWidget(reMain, 1);
  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(8, 0, 8, 0);
  buttons->addStretch(1);
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  main->addLayout(buttons);

  QObject::connect(reMain, &QTextEdit::currentCharFormatChanged, this, [this] { UpdateActions(); });
  QObject::connect(reMain, &QTextEdit::cursorPositionChanged, this, [this] { UpdateActions(); });
  QObject::connect(reMain, &QTextEdit::selectionChanged, this, [this] { UpdateActions(); });
  QObject::connect(reMain, &QTextEdit::textChanged, this, [this] { UpdateActions(); });
  QObject::connect(reMain, &QTextEdit::undoAvailable, this, [this] { UpdateActions(); });
  resize(619, 430);
  reMain->setFocus();
  UpdateActions();
}

void TKivTemplateEditDialog::UpdateActions() {
  const QTextCharFormat f = reMain->currentCharFormat();
  actBold->setChecked(f.fontWeight() > QFont::Normal);
  actItalic->setChecked(f.fontItalic());
  actUnderline->setChecked(f.fontUnderline());
  const Qt::Alignment a = reMain->alignment() & Qt::AlignHorizontal_Mask;
  actAlignCenter->setChecked(a & Qt::AlignHCenter);
  actAlignRight->setChecked((a & Qt::AlignRight) != 0);
  actAlignLeft->setChecked(!(a & (Qt::AlignHCenter | Qt::AlignRight | Qt::AlignJustify)));
  actUndo->setEnabled(reMain->hasFocus() && reMain->document()->isUndoAvailable());
}

bool TKivTemplateEditDialog::eventFilter(QObject* AObject, QEvent* AEvent) {
  if (AObject == reMain && (AEvent->type() == QEvent::FocusIn || AEvent->type() == QEvent::FocusOut))
    QMetaObject::invokeMethod(this, [this] { UpdateActions(); }, Qt::QueuedConnection);
  return TKivSedDialogForm::eventFilter(AObject, AEvent);
}

void TKivTemplateEditDialog::InsertField(const QString& AField) {
  reMain->textCursor().insertText(AField);
  reMain->setFocus();
}

void TKivTemplateEditDialog::OpenFile() {
  QString name;
  if (!KivUiServices().ChooseOpenFile(this, QStringLiteral("Open"), QString::fromUtf8(kFilter), name)) return;
  QFile file(name);
  if (!file.open(QIODevice::ReadOnly)) throw EKivPrintPackError(u"Cannot open file %s", {KivFromUtf8(name.toStdString())});
  const QString text = QString::fromUtf8(file.readAll());
  if (IsText(name))
    reMain->setPlainText(text);
  else
    reMain->setHtml(text);
}

void TKivTemplateEditDialog::SaveFileAs() {
  QString name;
  if (!KivUiServices().ChooseSaveFile(this, QStringLiteral("Save As"), QString::fromUtf8(kFilter),
                                      QStringLiteral("html"), name))
    return;
  QFile file(name);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
    throw EKivPrintPackError(u"Cannot create file %s", {KivFromUtf8(name.toStdString())});
  file.write((IsText(name) ? reMain->toPlainText() : reMain->toHtml()).toUtf8());
}

void TKivTemplateEditDialog::EditFont() {
  const QTextCharFormat current = reMain->currentCharFormat();
  QFont font = current.font();
  if (!KivUiServices().ChooseFont(this, font)) return;
  QTextCharFormat f;
  f.setFont(font);
  // The font chooser has no colour: the text colour is offered after it.
  QColor color = current.foreground().color();
  if (KivUiServices().ChooseColor(this, color)) f.setForeground(color);
  reMain->mergeCurrentCharFormat(f);
}

bool KivExecuteTemplateEditDlg(const QString& ACaption, IKivRichText& AText, QWidget* AParent) {
  TKivTemplateEditDialog dlg(AParent);
  dlg.setWindowTitle(ACaption);
  auto* qt = dynamic_cast<TKivQtRichText*>(&AText);
  if (qt) {
    dlg.reMain->setHtml(qt->Document().toHtml());
  } else {
    QStringList lines;
    for (Integer i = 0; i < AText.LineCount(); ++i) {
      const TKivString line = AText.Line(i);
      lines << QString::fromUtf16(line.data(), qsizetype(line.size()));
    }
    dlg.reMain->setPlainText(lines.join(u'\n'));
  }
  dlg.reMain->document()->clearUndoRedoStacks();
  dlg.reMain->moveCursor(QTextCursor::End);
  dlg.UpdateActions();
  if (dlg.exec() != QDialog::Accepted) return false;
  if (qt) {
    qt->LoadStream(dlg.reMain->toHtml().toStdString());
  } else {
    std::vector<TKivString> lines;
    for (const QString& line : dlg.reMain->toPlainText().split(u'\n')) lines.push_back(line.toStdU16String());
    AText.SetLines(lines);
  }
  return true;
}
