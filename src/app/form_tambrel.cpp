#include "app/form_tambrel.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QInputDialog>
#include <QKeyEvent>
#include <QKeySequence>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <exception>
#include <optional>
#include <vector>

#include "app/indicator.h"
#include "slides/form_slide.h"
#include "support/tick_count.h"
#include "terminal/vterm_widget.h"
#include "ui_form_tambrel.h"

namespace tambrel {

namespace {

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

// The hot key a key event stands for: a digit of the main keyboard or a letter.
std::optional<char> KeyChar(const QKeyEvent& event) {
  if ((event.modifiers() & Qt::KeypadModifier) != 0) return std::nullopt;
  const int key = event.key();
  if (key >= Qt::Key_1 && key <= Qt::Key_5) return static_cast<char>('1' + (key - Qt::Key_1));
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<char>('A' + (key - Qt::Key_A));
  return std::nullopt;
}

bool IsShiftReturn(const QKeyEvent& event) {
  const Qt::KeyboardModifiers held = event.modifiers() & ~Qt::KeypadModifier;
  return (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter) && held == Qt::ShiftModifier;
}

TKeyModifiers ModifiersOf(const QKeyEvent& event) {
  const Qt::KeyboardModifiers held = event.modifiers();
  return {(held & Qt::AltModifier) != 0, (held & Qt::ShiftModifier) != 0, (held & Qt::ControlModifier) != 0,
          (held & Qt::MetaModifier) != 0};
}

}  // namespace

TFormTambrel::TFormTambrel(const TFormTambrelParts& parts, QWidget* parent)
    : QWidget(parent), Form(std::make_unique<Ui::FormTambrel>()), Parts(parts) {
  Form->setupUi(this);
  for (QTimer*& timer : Timers) {
    timer = new QTimer(this);
    timer->setTimerType(Qt::PreciseTimer);
  }
  SetUpTerminal();
  Form->MemoEditor->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  QPalette black = Form->PanelAboutLarge->palette();
  black.setColor(QPalette::Window, Qt::black);
  black.setColor(QPalette::WindowText, Qt::white);
  Form->PanelAboutLarge->setPalette(black);
  for (QLabel* link : {Form->StaticTextEmail, Form->StaticTextWeb}) {
    link->setCursor(Qt::PointingHandCursor);
    link->installEventFilter(this);
  }
  qApp->installEventFilter(this);

  TControllerParts controllerParts = Parts.Controller;
  controllerParts.View = this;
  controllerParts.Timers = this;
  controllerParts.Dialogs = this;
  controllerParts.Poster = this;
  controllerParts.Screens = this;
  if (!controllerParts.Milliseconds) controllerParts.Milliseconds = [] { return GetTickCount(); };
  if (!controllerParts.ProcessEvents)
    controllerParts.ProcessEvents = [] { QCoreApplication::processEvents(); };
  if (Parts.SlideWindow != nullptr) controllerParts.SlideEntry = Parts.SlideWindow->SlideEntry();
  TheController = std::make_unique<TTambrelController>(controllerParts);
  for (int i = 0; i < TimerCount; ++i) {
    const auto id = static_cast<TTimerId>(i);
    connect(Timers[static_cast<size_t>(i)], &QTimer::timeout, this,
            [this, id] { Forward([&] { TheController->TimerFired(id); }); });
  }
  ConnectControls();
  TheController->FormCreate();
}

TFormTambrel::~TFormTambrel() {
  qApp->removeEventFilter(this);
  // Reports of the closing steps have no window to show them in any more.
  ErrorDisplay = [](const std::string& text, bool) { std::fprintf(stderr, "tambrel: %s\n", text.c_str()); };
  TheController.reset();
}

TVTerm* TFormTambrel::Terminal() const {
  return Form->VTermDebug;
}

void TFormTambrel::Forward(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& error) {
    ShowError(error.what());
  }
}

void TFormTambrel::SetInputQuery(
    std::function<bool(const std::string&, const std::string&, std::string&)> query) {
  Query = std::move(query);
}

void TFormTambrel::SetErrorDisplay(std::function<void(const std::string&, bool)> display) {
  ErrorDisplay = std::move(display);
}

void TFormTambrel::SetUpTerminal() {
  TVTerm* terminal = Form->VTermDebug;
  terminal->SetRows(1000);
  terminal->SetCols(80);
  terminal->SetAutoWrap(true);
  terminal->SetAutoWrapCol(23);
  terminal->SetAutoLF(false);
  terminal->SetAutoCR(false);
  terminal->SetMonoChrome(false);
  terminal->SetAttribute(240);
  QScrollArea* box = Form->ScrollBoxDebug;
  // Keeps the cursor's cell at the right and bottom edges of the visible part.
  connect(terminal, &TCustomVTerm::OnCursorMoved, this, [terminal, box](int col, int row) {
    const QPoint cell = terminal->CellPosition(col, row);
    box->horizontalScrollBar()->setValue(
        std::max(0, cell.x() + terminal->CharWidth() - box->viewport()->width()));
    box->verticalScrollBar()->setValue(
        std::max(0, cell.y() + terminal->LineHeight() - box->viewport()->height()));
  });
  auto steps = [terminal, box] {
    box->horizontalScrollBar()->setSingleStep(std::clamp(terminal->CharWidth(), 1, 32767));
    box->verticalScrollBar()->setSingleStep(std::clamp(terminal->LineHeight(), 1, 32767));
  };
  connect(terminal, &TCustomVTerm::OnDimChanged, this, steps);
  steps();
}

void TFormTambrel::ConnectControls() {
  auto onClick = [this](QAbstractButton* button, std::function<void()> command) {
    connect(button, &QAbstractButton::clicked, this, [this, command] { Forward(command); });
  };
  auto onToggle = [this](QAbstractButton* button, std::function<void(bool)> setter) {
    connect(button, &QAbstractButton::clicked, this,
            [this, setter](bool down) { Forward([&] { setter(down); }); });
  };
  TTambrelController& c = *TheController;
  onToggle(Form->SpeedButtonStartStop, [&c](bool on) { c.SetPlaying(on); });
  onToggle(Form->SpeedButtonDoRepeat, [&c](bool on) { c.SetRepeat(on); });
  onClick(Form->SpeedButtonNext, [&c] { c.NextItem(); });
  onClick(Form->SpeedButton1, [&c] { c.GotoTimeCommand(); });
  onClick(Form->BitBtnReset, [&c] { c.ResetPlayer(); });
  onClick(Form->BitBtnExit, [&c] { c.ExitCommand(); });
  onClick(Form->BitBtnStartSlides, [&c] { c.StartSlides(); });
  onClick(Form->BitBtnLoad, [&c] { c.LoadCommand(); });
  onClick(Form->BitBtn1, [&c] { c.LoadCommand(); });
  onClick(Form->BitBtnUnLoad, [&c] { c.UnloadSelected(); });
  onClick(Form->BitBtnUnloadAll, [&c] { c.UnloadAll(); });
  onClick(Form->BitBtnOpenEditFile, [&c] { c.EditCommand(); });
  onClick(Form->BitBtnSaveEditFile, [&c] { c.SaveCommand(); });
  onClick(Form->BitBtnCheckSyntax, [&c] { c.CheckSyntaxCommand(); });
  onClick(Form->BitBtnGeneratPchList, [&c] { c.GeneratePatchListCommand(); });
  onClick(Form->BitBtnRefreshPchList, [&c] { c.RefreshPatchFiles(); });
  onClick(Form->SpeedButtonProjectBrowse, [&c] { c.BrowseProjectRoot(); });
  onClick(Form->SpeedButtonBrowsePicturRoot, [&c] { c.BrowsePictureRoot(); });

  QComboBox* lists[] = {Form->ComboBoxMidiOutputs1, Form->ComboBoxMidiOutputs2, Form->ComboBoxMidiOutputs3,
                        Form->ComboBoxMidiOutputs4};
  QSpinBox* spins[] = {Form->SpinEditDevice1, Form->SpinEditDevice2, Form->SpinEditDevice3,
                       Form->SpinEditDevice4};
  for (int n = 1; n <= 4; ++n) {
    connect(lists[n - 1], &QComboBox::textActivated, this, [this, n](const QString& text) {
      Forward([&] { TheController->SelectOutput(n, text.toStdString()); });
    });
    onToggle(ToggleButton(static_cast<TToggle>(static_cast<int>(TToggle::MidiActive1) + n - 1)),
             [&c, n](bool on) { c.SetOutputActive(n, on); });
    connect(spins[n - 1], &QSpinBox::valueChanged, this,
            [this, n](int value) { Forward([&] { TheController->SetHandlesDevice(n, value); }); });
  }
  onToggle(Form->SpeedButtonSlidesActive, [&c](bool on) { c.SetSlidesActive(on); });
  connect(Form->SpinEditDeviceSlides, &QSpinBox::valueChanged, this,
          [this](int value) { Forward([&] { TheController->SetSlidesDevice(value); }); });

  onToggle(Form->CheckBoxRemoveOnFinish, [&c](bool on) { c.SetRemoveOnFinish(on); });
  onToggle(Form->CheckBoxRemoveOldOnLoad, [&c](bool on) { c.SetRemoveOldOnLoad(on); });
  onToggle(Form->CheckBoxAutoEdit, [&c](bool on) { c.SetAutoEdit(on); });
  onToggle(Form->CheckBoxAutoPlay, [&c](bool on) { c.SetAutoPlay(on); });
  onToggle(Form->CheckBoxAutoReload, [&c](bool on) { c.SetAutoReload(on); });
  connect(Form->EditProjectRoot, &QLineEdit::editingFinished, this, [this] {
    Forward([&] { TheController->SetProjectRoot(Form->EditProjectRoot->text().toStdString()); });
  });
  connect(Form->EditPictureRoot, &QLineEdit::editingFinished, this, [this] {
    Forward([&] { TheController->SetPictureRootSetting(Form->EditPictureRoot->text().toStdString()); });
  });

  onToggle(Form->SpeedButtonTracePlayer, [&c](bool on) { c.SetTraceMode(on); });
  onClick(Form->BitBtnClearDisplay, [&c] { c.ClearDisplay(); });
  onClick(Form->BitBtnDumpPlayer, [&c] { c.DumpPlayer(); });
  onClick(Form->BitBtnShowResources, [&c] { c.ShowResources(); });
  onToggle(Form->CheckBoxDebugParser, [&c](bool on) { c.SetParserDebug(on); });
  onToggle(Form->CheckBoxDebugCompiler, [&c](bool on) { c.SetCompilerDebug(on); });
}

QAbstractButton* TFormTambrel::ToggleButton(TToggle toggle) const {
  switch (toggle) {
    case TToggle::StartStop:
      return Form->SpeedButtonStartStop;
    case TToggle::DoRepeat:
      return Form->SpeedButtonDoRepeat;
    case TToggle::MidiActive1:
      return Form->SpeedButtonMidiActive1;
    case TToggle::MidiActive2:
      return Form->SpeedButtonMidiActive2;
    case TToggle::MidiActive3:
      return Form->SpeedButtonMidiActive3;
    case TToggle::MidiActive4:
      return Form->SpeedButtonMidiActive4;
    case TToggle::SlidesActive:
      return Form->SpeedButtonSlidesActive;
    case TToggle::TracePlayer:
      return Form->SpeedButtonTracePlayer;
  }
  return nullptr;
}

void TFormTambrel::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Forward([&] { TheController->FormShow(); });
}

void TFormTambrel::closeEvent(QCloseEvent* event) {
  bool allowed = true;
  Forward([&] { allowed = TheController->RequestClose(); });
  if (!allowed) {
    event->ignore();
    return;
  }
  event->accept();
  for (QWidget* other : {Parts.ResourceWindow, static_cast<QWidget*>(Parts.SlideWindow)})
    if (other != nullptr) other->hide();
  emit Closed();
}

bool TFormTambrel::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease) {
    if (watched == Form->StaticTextEmail) Forward([&] { TheController->OpenEmail(); });
    if (watched == Form->StaticTextWeb) Forward([&] { TheController->OpenWeb(); });
    return false;
  }
  if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || widget->window() != this) return false;
  auto* keyEvent = static_cast<QKeyEvent*>(event);
  if (widget == Form->MemoEditor && event->type() == QEvent::KeyPress && IsShiftReturn(*keyEvent)) {
    // The widget would put in a line separator, which is no line end of the file and which a Latin-1
    // file cannot hold: Shift+Return breaks the line as Return does.
    Form->MemoEditor->insertPlainText(QStringLiteral("\n"));
    return true;
  }
  const std::optional<char> key = KeyChar(*keyEvent);
  if (!key || !TheController->IsHotKey(*key, ModifiersOf(*keyEvent))) return TakeAccelerator(*keyEvent);
  // Taking the override keeps the key from every accelerator: the hot key acts once, on its press.
  if (event->type() == QEvent::ShortcutOverride) {
    event->accept();
    return true;
  }
  if (keyEvent->isAutoRepeat()) return true;
  Forward([&] { TheController->FormKeyDown(*key, ModifiersOf(*keyEvent)); });
  return true;
}

bool TFormTambrel::TakeAccelerator(QKeyEvent& event) {
  if (event.modifiers() != Qt::AltModifier) return false;
  const int key = event.key();
  if (!(key >= Qt::Key_0 && key <= Qt::Key_9) && !(key >= Qt::Key_A && key <= Qt::Key_Z)) return false;
  const QKeySequence wanted(QKeyCombination(Qt::AltModifier, static_cast<Qt::Key>(key)));
  // Only a button the user can see and use competes; one on a hidden tab page is out of reach.
  std::vector<QAbstractButton*> buttons;
  for (QAbstractButton* button : findChildren<QAbstractButton*>())
    if (button->window() == this && button->isVisible() && button->isEnabled() &&
        QKeySequence::mnemonic(button->text()) == wanted)
      buttons.push_back(button);
  QTabWidget* tabs = Form->PageControlMain;
  int tab = -1;
  for (int i = 0; i < tabs->count() && tab < 0; ++i)
    if (tabs->isTabVisible(i) && tabs->isTabEnabled(i) && QKeySequence::mnemonic(tabs->tabText(i)) == wanted)
      tab = i;
  // Two buttons with one letter stay Qt's own ambiguity; a button against a tab title is settled here,
  // where Qt would only move the focus between them.
  if (buttons.size() > 1 || (buttons.empty() && tab < 0)) return false;
  if (event.type() == QEvent::ShortcutOverride) {
    event.accept();
    return true;
  }
  if (event.isAutoRepeat()) return true;
  if (!buttons.empty()) {
    QAbstractButton* button = buttons.front();
    if (button->focusPolicy() != Qt::NoFocus) button->setFocus(Qt::ShortcutFocusReason);
    button->click();
  } else {
    tabs->setCurrentIndex(tab);
  }
  return true;
}

void TFormTambrel::ShowCaption(const std::string& text) {
  setWindowTitle(Text(text));
  QApplication::setApplicationDisplayName(Text(text));
}

void TFormTambrel::ShowToggle(TToggle toggle, bool down, const std::string& caption) {
  QAbstractButton* button = ToggleButton(toggle);
  const QSignalBlocker blocker(button);
  button->setChecked(down);
  button->setText(Text(caption));
}

void TFormTambrel::ShowCheck(TCheck check, bool checked) {
  QCheckBox* boxes[] = {Form->CheckBoxRemoveOnFinish, Form->CheckBoxRemoveOldOnLoad,
                        Form->CheckBoxAutoEdit,       Form->CheckBoxAutoPlay,
                        Form->CheckBoxAutoReload,     Form->CheckBoxDebugParser,
                        Form->CheckBoxDebugCompiler};
  QCheckBox* box = boxes[static_cast<int>(check)];
  const QSignalBlocker blocker(box);
  box->setChecked(checked);
}

void TFormTambrel::ShowEditText(TEditField field, const std::string& text) {
  QLineEdit* edit = field == TEditField::ProjectRoot ? Form->EditProjectRoot : Form->EditPictureRoot;
  const QSignalBlocker blocker(edit);
  edit->setText(Text(text));
}

void TFormTambrel::ShowDeviceList(int n, const std::vector<std::string>& entries) {
  QComboBox* list = findChild<QComboBox*>(QString("ComboBoxMidiOutputs%1").arg(n));
  const QSignalBlocker blocker(list);
  list->clear();
  for (const std::string& entry : entries) list->addItem(Text(entry));
  list->setCurrentIndex(-1);
}

void TFormTambrel::ShowDeviceSelection(int n, const std::string& name) {
  QComboBox* list = findChild<QComboBox*>(QString("ComboBoxMidiOutputs%1").arg(n));
  const QSignalBlocker blocker(list);
  list->setCurrentIndex(name.empty() ? -1
                                     : list->findText(Text(name), Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void TFormTambrel::ShowHandlesDevice(int n, int32_t value) {
  QSpinBox* spin =
      n == 5 ? Form->SpinEditDeviceSlides : findChild<QSpinBox*>(QString("SpinEditDevice%1").arg(n));
  const QSignalBlocker blocker(spin);
  spin->setValue(value);
}

void TFormTambrel::ShowClock(const std::string& text) {
  Form->LabelTime->setText(Text(text));
}

void TFormTambrel::ShowIndicator(int n, bool active) {
  TIndicator* leds[] = {Form->IndicatorMidiOut1, Form->IndicatorMidiOut2, Form->IndicatorMidiOut3,
                        Form->IndicatorMidiOut4};
  leds[n - 1]->SetActive(active);
}

void TFormTambrel::ShowLoadedList(const std::vector<std::string>& names) {
  Form->ListBoxTambrels->clear();
  for (const std::string& name : names) Form->ListBoxTambrels->addItem(Text(name));
}

std::vector<int> TFormTambrel::SelectedLoadedRows() const {
  std::vector<int> rows;
  for (int row = 0; row < Form->ListBoxTambrels->count(); ++row)
    if (Form->ListBoxTambrels->item(row)->isSelected()) rows.push_back(row);
  return rows;
}

void TFormTambrel::SetCommandEnabled(TCommand command, bool enabled) {
  std::vector<QWidget*> buttons;
  switch (command) {
    case TCommand::Load:
      buttons = {Form->BitBtnLoad, Form->BitBtn1};
      break;
    case TCommand::Unload:
      buttons = {Form->BitBtnUnLoad};
      break;
    case TCommand::UnloadAll:
      buttons = {Form->BitBtnUnloadAll};
      break;
    case TCommand::Edit:
      buttons = {Form->BitBtnOpenEditFile};
      break;
    case TCommand::Save:
      buttons = {Form->BitBtnSaveEditFile};
      break;
    case TCommand::CheckSyntax:
      buttons = {Form->BitBtnCheckSyntax};
      break;
  }
  // Qt passes the focus of a button it disables on to the next control; the button gets it back when
  // it is enabled again, unless the user has put the focus elsewhere meanwhile.
  for (QWidget* button : buttons) {
    if (!enabled) {
      if (FocusOfDisabled == nullptr && focusWidget() == button) FocusOfDisabled = button;
      button->setEnabled(false);
      if (FocusOfDisabled != nullptr) FocusMovedTo = focusWidget();
      continue;
    }
    button->setEnabled(true);
    if (button != FocusOfDisabled) continue;
    if (focusWidget() == FocusMovedTo) button->setFocus(Qt::OtherFocusReason);
    FocusOfDisabled = nullptr;
    FocusMovedTo = nullptr;
  }
}

TTab TFormTambrel::ActiveTab() const {
  return static_cast<TTab>(Form->PageControlMain->currentIndex());
}

void TFormTambrel::SetActiveTab(TTab tab) {
  Form->PageControlMain->setCurrentIndex(static_cast<int>(tab));
}

TRect TFormTambrel::WindowBounds() const {
  const QRect bounds = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
  return {bounds.x(), bounds.y(), bounds.width(), bounds.height()};
}

void TFormTambrel::SetWindowBounds(const TRect& bounds) {
  setGeometry(bounds.Left, bounds.Top, bounds.Width, bounds.Height);
}

void TFormTambrel::SetBusyPointer(bool busy) {
  if (busy) {
    if (BusyDepth++ == 0) QApplication::setOverrideCursor(Qt::WaitCursor);
  } else if (BusyDepth > 0 && --BusyDepth == 0) {
    QApplication::restoreOverrideCursor();
  }
}

void TFormTambrel::CloseWindow() {
  // After the command that asked has returned.
  QMetaObject::invokeMethod(
      this, [this] { close(); }, Qt::QueuedConnection);
}

void TFormTambrel::TerminalWriteLn(const std::string& text) {
  Form->VTermDebug->WriteLn(text);
}

void TFormTambrel::TerminalClear() {
  Form->VTermDebug->Clear();
}

void TFormTambrel::ShowDeviceError(const std::string& text) {
  if (ErrorDisplay) {
    ErrorDisplay(text, true);
    return;
  }
  QMessageBox::critical(this, windowTitle(), Text(text));
}

void TFormTambrel::ShowError(const std::string& text) {
  if (ErrorDisplay) {
    ErrorDisplay(text, false);
    return;
  }
  QMessageBox::critical(this, windowTitle(), Text(text));
}

void TFormTambrel::ShowVersionValues(const std::array<std::string, 12>& values) {
  QLabel* fields[] = {
      Form->StaticTextCompanyName,      Form->StaticTextFileDescription, Form->StaticTextFileVersion,
      Form->StaticTextInternalName,     Form->StaticTextLegalCopyRight,  Form->StaticTextLegalTradeMarks,
      Form->StaticTextOriginalFileName, Form->StaticTextProductName,     Form->StaticTextProductVersion,
      Form->StaticTextComments,         Form->StaticTextEmail,           Form->StaticTextWeb};
  for (size_t i = 0; i < values.size(); ++i) fields[i]->setText(Text(values[i]));
}

void TFormTambrel::ShowApplicationPath(const std::string& path) {
  Form->EditTourApplicationPath->setText(Text(path));
}

void TFormTambrel::ShowHelpText(THelpText which, const std::string& text) {
  QPlainTextEdit* memos[] = {Form->MemoQuickStart, Form->MemoSyntax, Form->MemoMore, Form->MemoCredits};
  memos[static_cast<int>(which)]->setPlainText(
      QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void TFormTambrel::ScrollHelpToTop() {
  Form->ScrollBoxHelp->verticalScrollBar()->setValue(0);
  for (QPlainTextEdit* memo : {Form->MemoQuickStart, Form->MemoSyntax, Form->MemoMore, Form->MemoCredits})
    memo->moveCursor(QTextCursor::Start);
}

void TFormTambrel::ShowEditorText(const std::string& text) {
  Form->MemoEditor->setPlainText(Text(text));
  Form->MemoEditor->document()->setModified(false);
}

std::string TFormTambrel::EditorText() const {
  // The raw text keeps a no-break space, which the plain text turns into a space; its paragraph
  // separators are the line breaks.
  QString text = Form->MemoEditor->document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QChar('\n'));
  return text.toStdString();
}

bool TFormTambrel::EditorModified() const {
  return Form->MemoEditor->document()->isModified();
}

void TFormTambrel::SetEditorModified(bool modified) {
  Form->MemoEditor->document()->setModified(modified);
}

void TFormTambrel::ShowPatchFiles(const std::vector<std::string>& names) {
  Form->FileListBox->clear();
  for (const std::string& name : names) Form->FileListBox->addItem(QString::fromLocal8Bit(name));
}

void TFormTambrel::SetSlidePictureRoot(const std::string& dir) {
  if (Parts.SlideWindow != nullptr) Parts.SlideWindow->SetPictureRoot(dir);
}

void TFormTambrel::ShowSlideWindow() {
  if (Parts.SlideWindow != nullptr) Parts.SlideWindow->ShowSlides();
}

void TFormTambrel::ToggleResourceWindow() {
  QWidget* window = Parts.ResourceWindow;
  if (window == nullptr) return;
  window->setVisible(!window->isVisible());
}

void TFormTambrel::Start(TTimerId timer, int intervalMs) {
  Timers[static_cast<size_t>(timer)]->start(intervalMs);
}

void TFormTambrel::Stop(TTimerId timer) {
  Timers[static_cast<size_t>(timer)]->stop();
}

bool TFormTambrel::Running(TTimerId timer) const {
  return Timers[static_cast<size_t>(timer)]->isActive();
}

bool TFormTambrel::InputQuery(const std::string& title, const std::string& prompt, std::string& answer) {
  if (Query) return Query(title, prompt, answer);
  bool ok = false;
  const QString text =
      QInputDialog::getText(this, Text(title), Text(prompt), QLineEdit::Normal, Text(answer), &ok);
  if (ok) answer = text.toStdString();
  return ok;
}

bool TFormTambrel::RunFileDialog(TFileDialog dialog, TFileDialogState& state) {
  if (FileDialogs) return FileDialogs(dialog, state);
  const bool patchList = dialog == TFileDialog::SavePatchList;
  const QString filter =
      patchList ? "patch lists (*.pchlist);;all files (*)" : "Tambrels (*.tmb);;any file (*)";
  QFileDialog box(this);
  box.setNameFilter(filter);
  box.setDefaultSuffix(patchList ? "pchlist" : "tmb");
  box.setDirectory(Text(state.InitialDir));
  if (!state.FileName.empty()) box.selectFile(Text(state.FileName));
  if (dialog == TFileDialog::OpenTambrel) {
    box.setAcceptMode(QFileDialog::AcceptOpen);
    box.setFileMode(QFileDialog::ExistingFile);
  } else {
    box.setAcceptMode(QFileDialog::AcceptSave);
    box.setFileMode(QFileDialog::AnyFile);
  }
  if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) return false;
  state.FileName = box.selectedFiles().front().toStdString();
  return true;
}

bool TFormTambrel::ChooseDirectory(const std::string& title, TFileDialogState& state) {
  if (DirectoryDialogs) return DirectoryDialogs(TFileDialog::OpenTambrel, state);
  const QString dir = QFileDialog::getExistingDirectory(this, Text(title), Text(state.InitialDir));
  if (dir.isEmpty()) return false;
  state.FileName = dir.toStdString();
  return true;
}

bool TFormTambrel::Confirm(const std::string& question) {
  if (ConfirmQuestion) return ConfirmQuestion(question);
  return QMessageBox::question(this, windowTitle(), Text(question)) == QMessageBox::Yes;
}

void TFormTambrel::SetFileDialogs(TFileDialogRunner files, TFileDialogRunner directories) {
  FileDialogs = std::move(files);
  DirectoryDialogs = std::move(directories);
}

void TFormTambrel::SetConfirm(std::function<bool(const std::string&)> confirm) {
  ConfirmQuestion = std::move(confirm);
}

void TFormTambrel::Post(const TPostedMessage& message) {
  QMetaObject::invokeMethod(
      this, [this, message] { Forward([&] { TheController->Dispatch(message); }); }, Qt::QueuedConnection);
}

TRect TFormTambrel::ScreenAt(int32_t x, int32_t y) const {
  QScreen* screen = QGuiApplication::screenAt(QPoint(x, y));
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return {0, 0, 1024, 768};
  const QRect area = screen->availableGeometry();
  return {area.x(), area.y(), area.width(), area.height()};
}

}  // namespace tambrel
