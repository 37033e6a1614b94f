// The main window on the offscreen platform: its controls as the form defines them, the toggles, the
// hot keys through the window's whole key path, the indicators, and the close.
#include "app/form_tambrel.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <fstream>

#include "app/indicator.h"
#include "controller_fixture.h"
#include "player/player.h"
#include "slides/form_slide.h"
#include "temp_folder.h"
#include "terminal/vterm_widget.h"

namespace tambrel {
namespace {

std::vector<std::string> Rows(const QListWidget& list) {
  std::vector<std::string> rows;
  for (int i = 0; i < list.count(); ++i) rows.push_back(list.item(i)->text().toStdString());
  return rows;
}

class FormTambrelTest : public ::testing::Test {
 protected:
  FormTambrelTest() {
    TControllerParts& c = Parts.Controller;
    c.FrontEnd = &FrontEnd;
    for (size_t i = 0; i < Ports.size(); ++i) c.Ports[i] = &Ports[i];
    c.DeviceNames = [] { return std::vector<std::string>{"Tambrel", "Synth A"}; };
    c.NewPlayer = [this] {
      auto clock = std::make_unique<TSimulatedPlayClock>();
      Clock = clock.get();
      return std::make_unique<TPlayer>(std::move(clock));
    };
    c.AppPath = Folder;
    c.IniFileName = Folder + "tambrel.INI";
    c.DumpFileName = Folder + "dump.txt";
    Parts.ResourceWindow = &Resources;
    Parts.SlideWindow = &Slides;
  }
  TFormTambrel& Show() {
    Window = std::make_unique<TFormTambrel>(Parts);
    Window->SetErrorDisplay([this](const std::string& text, bool) { Errors.push_back(text); });
    // The stub file dialogs answer with these paths and note which dialog was asked for.
    Window->SetFileDialogs(
        [this](TFileDialog dialog, TFileDialogState& state) {
          Asked.push_back(dialog);
          state.FileName = FileAnswer;
          return true;
        },
        [this](TFileDialog, TFileDialogState& state) {
          state.FileName = DirectoryAnswer;
          return true;
        });
    Window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
    return *Window;
  }
  template <typename T>
  T* Find(const char* name) {
    return Window->findChild<T*>(name);
  }
  void SetTab(const char* page) {
    Find<QTabWidget>("PageControlMain")->setCurrentWidget(Find<QWidget>(page));
  }
  // Through the window system's key path, as a user's key press goes (accelerators included).
  void AltKey(Qt::Key key) { QTest::keyClick(Window->windowHandle(), key, Qt::AltModifier); }

  TTempFolder Temp;  // removed after the window went
  const std::string Folder = Temp.Path() + "/";
  TScriptFrontEnd FrontEnd;
  std::array<TRecordingPort, 4> Ports;
  QWidget Resources;
  TFormSlide Slides;
  TFormTambrelParts Parts;
  std::unique_ptr<TFormTambrel> Window;
  TSimulatedPlayClock* Clock = nullptr;
  std::vector<std::string> Errors;
  std::string FileAnswer;
  std::string DirectoryAnswer;
  std::vector<TFileDialog> Asked;
};

struct TControl {
  const char* Name;
  const char* Type;
  const char* Caption;
  const char* Hint;
  const char* Within = nullptr;  // the tab page or group that holds it
};

TEST_F(FormTambrelTest, EveryControlHasItsNameTypeCaptionAndHint) {
  Show();
  const TControl controls[] = {
      {"SpeedButtonStartStop", "QToolButton", "&Start", "Reset and start the player"},
      {"SpeedButtonDoRepeat", "QToolButton", "Re&peat", "Player auto repeat on or off"},
      {"SpeedButtonNext", "QToolButton", "Nex&t", nullptr},
      {"SpeedButton1", "QToolButton", "&Goto time ...", nullptr},
      {"BitBtnReset", "QPushButton", "&Reset", "Reset the player"},
      {"BitBtnExit", "QPushButton", "E&xit", "Exit the program"},
      {"PanelMidiOutLed", "QFrame", nullptr, "Midi output indicator"},
      {"LabelMidiOut", "QLabel", "MIDI out", nullptr},
      {"LabelTime", "QLabel", "00000:00.000", "Indication of the play time"},
      {"PanelTimer", "QFrame", nullptr, "Indication of the play time"},
      {"BitBtnLoad", "QPushButton", "&Load ...", "Load a Tambrel into the player", "TabSheetMain"},
      {"BitBtnUnLoad", "QPushButton", "&Unload", "Unload selected Tambrels from the player", "TabSheetMain"},
      {"BitBtnUnloadAll", "QPushButton", "U&nload all", "Unload all Tambrels from the player",
       "TabSheetMain"},
      {"BitBtnOpenEditFile", "QPushButton", "&Edit", "Load a file for editing only", "TabSheetMain"},
      {"BitBtnSaveEditFile", "QPushButton", "Sa&ve ...", "Save the edited Tambrel", "TabSheetMain"},
      {"BitBtnCheckSyntax", "QPushButton", "S&yntax chk", "Syntax check of the Tambrel in the editor",
       "TabSheetMain"},
      {"BitBtnStartSlides", "QPushButton", "Start slides", "Show the slide window", "TabSheetMain"},
      {"LabelTambrels", "QLabel", "Tambrels in player", nullptr, "TabSheetMain"},
      {"ListBoxTambrels", "QListWidget", nullptr, nullptr, "TabSheetMain"},
      {"MemoEditor", "QPlainTextEdit", nullptr, nullptr, "TabSheetMain"},
      {"LabelPatches", "QLabel", "Patches in project", nullptr, "TabSheetUtils"},
      {"FileListBox", "QListWidget", nullptr, nullptr, "TabSheetUtils"},
      {"BitBtnGeneratPchList", "QPushButton", "Generate pchlist ...", "Write the list of patch files",
       "TabSheetUtils"},
      {"BitBtnRefreshPchList", "QPushButton", "Refresh", "Read the project root again", "TabSheetUtils"},
      {"SpeedButtonSlidesActive", "QToolButton", "&5 Inactive", nullptr},
      {"SpinEditDeviceSlides", "QSpinBox", nullptr, nullptr},
      {"GroupBoxPreferences", "QGroupBox", "Preferences", nullptr, "TabSheetSettings"},
      {"CheckBoxRemoveOnFinish", "QCheckBox", "Remove on finish",
       "Unload a Tambrel when it has played to its end", "GroupBoxPreferences"},
      {"CheckBoxRemoveOldOnLoad", "QCheckBox", "Remove old on load",
       "Unload all other Tambrels when a new one is loaded", "GroupBoxPreferences"},
      {"CheckBoxAutoEdit", "QCheckBox", "Auto edit", "Show a loaded Tambrel in the editor too",
       "GroupBoxPreferences"},
      {"CheckBoxAutoPlay", "QCheckBox", "Auto play", "Reset and play after each load", "GroupBoxPreferences"},
      {"CheckBoxAutoReload", "QCheckBox", "Auto reload", "Load the last Tambrel again at the next start",
       "GroupBoxPreferences"},
      {"GroupBoxProjectSettings", "QGroupBox", "Project settings", nullptr, "TabSheetSettings"},
      {"EditProjectRoot", "QLineEdit", nullptr, nullptr, "GroupBoxProjectSettings"},
      {"SpeedButtonProjectBrowse", "QToolButton", "&Browse ...", "Choose the project root directory",
       "GroupBoxProjectSettings"},
      {"LabelProjectRoot", "QLabel", "Project root directory", nullptr, "GroupBoxProjectSettings"},
      {"EditPictureRoot", "QLineEdit", nullptr, nullptr, "GroupBoxProjectSettings"},
      {"SpeedButtonBrowsePicturRoot", "QToolButton", "Browse ...", "Choose the picture root directory",
       "GroupBoxProjectSettings"},
      {"LabelPictureRoot", "QLabel", "Picture root directory", nullptr, "GroupBoxProjectSettings"},
      {"ScrollBoxDebug", "QScrollArea", nullptr, nullptr},
      {"VTermDebug", "tambrel::TVTerm", nullptr, nullptr},
      {"SpeedButtonTracePlayer", "QToolButton", "Trace", "Toggle player execution trace mode"},
      {"BitBtnClearDisplay", "QPushButton", "Cls", "Clear the debug window"},
      {"BitBtnDumpPlayer", "QPushButton", "Dump", "Dump the current player contents to the debug window"},
      {"BitBtn1", "QPushButton", "&Load ...", "Load a Tambrel into the player", "TabSheetDebug"},
      {"BitBtnShowResources", "QPushButton", "Memory", nullptr},
      {"CheckBoxDebugParser", "QCheckBox", "Parser", nullptr},
      {"CheckBoxDebugCompiler", "QCheckBox", "Compiler", nullptr},
      {"PanelAboutLarge", "QFrame", nullptr, nullptr},
      {"StaticTextEmail", "QLabel", nullptr, nullptr},
      {"StaticTextWeb", "QLabel", nullptr, nullptr},
      {"EditTourApplicationPath", "QLineEdit", nullptr, nullptr},
      {"LabelApplicationPath", "QLabel", "Application path", nullptr},
      {"MemoQuickStart", "QPlainTextEdit", nullptr, nullptr},
      {"LabelQuickStart", "QLabel", "Quick start", nullptr},
      {"LabelSyntax", "QLabel", "Syntax description", nullptr},
      {"LabelMore", "QLabel", "More info", nullptr},
      {"LabelCredits", "QLabel", "Credits", nullptr},
  };
  for (const TControl& control : controls) {
    QWidget* widget = Find<QWidget>(control.Name);
    ASSERT_NE(widget, nullptr) << control.Name;
    EXPECT_STREQ(widget->metaObject()->className(), control.Type) << control.Name;
    if (control.Caption != nullptr) {
      const QVariant text = widget->property(qobject_cast<QGroupBox*>(widget) != nullptr ? "title" : "text");
      EXPECT_EQ(text.toString().toStdString(), control.Caption) << control.Name;
    }
    if (control.Hint != nullptr) {
      EXPECT_EQ(widget->toolTip().toStdString(), control.Hint) << control.Name;
    }
    if (control.Within != nullptr) {
      EXPECT_TRUE(Find<QWidget>(control.Within)->isAncestorOf(widget)) << control.Name;
    }
  }
  for (int n = 1; n <= 4; ++n) {
    const std::string digit = std::to_string(n);
    EXPECT_NE(Find<QComboBox>(("ComboBoxMidiOutputs" + digit).c_str()), nullptr);
    EXPECT_EQ(Find<QToolButton>(("SpeedButtonMidiActive" + digit).c_str())->text().toStdString(),
              "&" + digit + " Inactive");
    auto* spin = Find<QSpinBox>(("SpinEditDevice" + digit).c_str());
    EXPECT_EQ(spin->minimum(), 1);
    EXPECT_EQ(spin->maximum(), 65535);
    EXPECT_NE(Find<TIndicator>(("IndicatorMidiOut" + digit).c_str()), nullptr);
  }
  const char* versions[] = {"CompanyName",      "FileDescription", "FileVersion",
                            "InternalName",     "LegalCopyRight",  "LegalTradeMarks",
                            "OriginalFileName", "ProductName",     "ProductVersion",
                            "Comments",         "Email",           "Web"};
  for (const char* key : versions)
    EXPECT_NE(Find<QLabel>((std::string("StaticText") + key).c_str()), nullptr);
  const char* tabs[] = {"&Main", "&Utils", "Se&ttings", "&Debug", "&Help"};
  auto* pages = Find<QTabWidget>("PageControlMain");
  for (int i = 0; i < 5; ++i) EXPECT_EQ(pages->tabText(i).toStdString(), tabs[i]);
  for (const char* list : {"ListBoxTambrels", "FileListBox"})
    EXPECT_EQ(Find<QListWidget>(list)->selectionMode(), QAbstractItemView::ExtendedSelection) << list;
  EXPECT_EQ(Find<QPlainTextEdit>("MemoEditor")->lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_GE(Window->minimumWidth(), 722);
  EXPECT_GE(Window->minimumHeight(), 480);
}

// Start by its button shows Stop and the running caption; a hot key acts once, and no accelerator takes
// it too.
TEST_F(FormTambrelTest, StartShowsStopAndAHotKeyActsOnceWithNoAcceleratorTakingItToo) {
  Show();
  auto* start = Find<QToolButton>("SpeedButtonStartStop");
  start->click();
  EXPECT_EQ(start->text().toStdString(), "&Stop");
  EXPECT_TRUE(start->isChecked());
  EXPECT_EQ(Window->windowTitle().toStdString(), "Tambrel - running");
  QSignalSpy startClicks(start, &QAbstractButton::clicked);
  QSignalSpy repeatClicks(Find<QToolButton>("SpeedButtonDoRepeat"), &QAbstractButton::clicked);
  AltKey(Qt::Key_S);
  EXPECT_EQ(start->text().toStdString(), "&Start");
  EXPECT_EQ(Window->windowTitle().toStdString(), "Tambrel");
  AltKey(Qt::Key_P);
  EXPECT_TRUE(Window->Controller().DoRepeat());
  AltKey(Qt::Key_S);
  EXPECT_TRUE(Window->Controller().Playing());
  EXPECT_EQ(startClicks.count() + repeatClicks.count(), 0);
  // Alt+1 switches output 1 on the Settings tab only.
  SetTab("TabSheetMain");
  AltKey(Qt::Key_1);
  EXPECT_FALSE(Window->Controller().Routing().Slot(1).Active);
  SetTab("TabSheetSettings");
  QSignalSpy toggleClicks(Find<QToolButton>("SpeedButtonMidiActive1"), &QAbstractButton::clicked);
  AltKey(Qt::Key_1);
  EXPECT_TRUE(Window->Controller().Routing().Slot(1).Active);
  EXPECT_EQ(Find<QToolButton>("SpeedButtonMidiActive1")->text().toStdString(), "&1 Active");
  EXPECT_EQ(toggleClicks.count(), 0);
  AltKey(Qt::Key_1);
  EXPECT_FALSE(Window->Controller().Routing().Slot(1).Active);
}

TEST_F(FormTambrelTest, LoadEditAndSaveThroughTheDialogsKeepTheFilesBytes) {
  // A no-break space and CR LF line ends, which the text widget would turn into its own.
  const std::string bytes =
      "// caf\xC3\xA9\xC2\xA0"
      "bar\r\n0 out(1, $90, 60, 100);\r\n";
  FileAnswer = Temp.Write("song.tmb", bytes);
  Show();
  auto* load = Find<QPushButton>("BitBtnLoad");
  load->setFocus();
  load->click();
  EXPECT_EQ(Rows(*Find<QListWidget>("ListBoxTambrels")), std::vector<std::string>{"song.tmb"});
  EXPECT_EQ(Window->focusWidget(), load);  // back from where the disabled button's focus went
  Find<QPushButton>("BitBtnOpenEditFile")->click();
  auto* editor = Find<QPlainTextEdit>("MemoEditor");
  EXPECT_TRUE(editor->document()->toRawText().contains(QChar(0xA0)));
  EXPECT_EQ(editor->document()->blockCount(), 3);  // two lines and the empty one after the last end
  FileAnswer = Folder + "copy.tmb";
  Find<QPushButton>("BitBtnSaveEditFile")->click();
  EXPECT_EQ(Temp.Read("copy.tmb"), bytes);
  // Lines typed at the end take the file's line end, also one broken with Shift+Return.
  editor->moveCursor(QTextCursor::End);
  QTest::keyClicks(editor, "1 out(1, $80, 60, 0);");
  QTest::keyClick(editor, Qt::Key_Return, Qt::ShiftModifier);
  QTest::keyClicks(editor, "2 out(1, $90, 62, 100);");
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_TRUE(editor->document()->isModified());
  Find<QPushButton>("BitBtnSaveEditFile")->click();
  EXPECT_EQ(Temp.Read("copy.tmb"), bytes + "1 out(1, $80, 60, 0);\r\n2 out(1, $90, 62, 100);\r\n");
  EXPECT_FALSE(editor->document()->isModified());
  EXPECT_EQ(Asked, (std::vector<TFileDialog>{TFileDialog::OpenTambrel, TFileDialog::OpenTambrel,
                                             TFileDialog::SaveTambrel, TFileDialog::SaveTambrel}));
  EXPECT_TRUE(Errors.empty());
}

TEST_F(FormTambrelTest, AVisibleButtonsAcceleratorWinsOverATabTitlesElseTheTabComes) {
  const std::string song = Temp.Write("a.tmb", "0 out(1, $90, 60, 100);\n");
  Show();
  Window->Controller().LoadTambrel(song);
  auto* loaded = Find<QListWidget>("ListBoxTambrels");
  ASSERT_EQ(loaded->count(), 1);
  loaded->item(0)->setSelected(true);
  QSignalSpy next(Find<QToolButton>("SpeedButtonNext"), &QAbstractButton::clicked);
  struct TStep {
    Qt::Key Key;
    const char* Tab;  // current afterwards
    int Nexts;        // presses of "Nex&t" so far
  };
  // "&Unload" against "&Utils" on the Main tab; "Nex&t" above the tabs against "Se&ttings" everywhere.
  const TStep steps[] = {{Qt::Key_U, "TabSheetMain", 0},  {Qt::Key_T, "TabSheetMain", 1},
                         {Qt::Key_D, "TabSheetDebug", 1}, {Qt::Key_U, "TabSheetUtils", 1},
                         {Qt::Key_T, "TabSheetUtils", 2}, {Qt::Key_M, "TabSheetMain", 2}};
  for (const TStep& step : steps) {
    AltKey(step.Key);
    EXPECT_EQ(Find<QTabWidget>("PageControlMain")->currentWidget()->objectName().toStdString(), step.Tab)
        << QKeySequence(step.Key).toString().toStdString();
    EXPECT_EQ(next.count(), step.Nexts) << QKeySequence(step.Key).toString().toStdString();
  }
  EXPECT_EQ(loaded->count(), 0);
  EXPECT_TRUE(Window->Controller().LoadedNames().empty());
}

TEST_F(FormTambrelTest, TheUtilsTabListsTheProjectsPatchFilesAndWritesTheirList) {
  const std::string project = Folder + "project/";
  std::filesystem::create_directories(project + "x.pch");
  for (const char* name : {"b.pch", "A.PCH", "c.txt"}) std::ofstream(project + name) << "patch";
  Show();
  DirectoryAnswer = project;
  Find<QToolButton>("SpeedButtonProjectBrowse")->click();
  EXPECT_EQ(Find<QLineEdit>("EditProjectRoot")->text().toStdString(), project);
  auto* patches = Find<QListWidget>("FileListBox");
  EXPECT_EQ(Rows(*patches), (std::vector<std::string>{"A.PCH", "b.pch"}));
  std::ofstream(project + "c.PcH") << "patch";
  Find<QPushButton>("BitBtnRefreshPchList")->click();
  EXPECT_EQ(Rows(*patches), (std::vector<std::string>{"A.PCH", "b.pch", "c.PcH"}));
  FileAnswer = Folder + "bank1.pchlist";
  Find<QPushButton>("BitBtnGeneratPchList")->click();
  EXPECT_EQ(Temp.Read("bank1.pchlist"), "1\r\nA.PCH\r\nb.pch\r\nc.PcH\r\n");
  EXPECT_EQ(Asked, std::vector<TFileDialog>{TFileDialog::SavePatchList});
  // A root typed in and emptied lists nothing.
  auto* root = Find<QLineEdit>("EditProjectRoot");
  root->clear();
  QTest::keyClick(root, Qt::Key_Return);
  EXPECT_EQ(Window->Controller().ProjectRoot(), "");
  EXPECT_EQ(patches->count(), 0);
  DirectoryAnswer = Folder + "pictures/";
  Find<QToolButton>("SpeedButtonBrowsePicturRoot")->click();
  EXPECT_EQ(Find<QLineEdit>("EditPictureRoot")->text().toStdString(), DirectoryAnswer);
  EXPECT_EQ(Window->Controller().PictureRoot(), DirectoryAnswer);
  EXPECT_TRUE(Errors.empty());
}

TEST_F(FormTambrelTest, ARefusedToggleSpringsBack) {
  Ports[1].FailOpen = true;
  Show();
  SetTab("TabSheetSettings");
  auto* toggle = Find<QToolButton>("SpeedButtonMidiActive2");
  toggle->click();
  EXPECT_FALSE(toggle->isChecked());
  EXPECT_EQ(toggle->text().toStdString(), "&2 Inactive");
  EXPECT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Find<QComboBox>("ComboBoxMidiOutputs2")->currentIndex(), -1);
  // The spin box drives the routing.
  Find<QSpinBox>("SpinEditDevice3")->setValue(42);
  EXPECT_EQ(Window->Controller().Routing().Slot(3).HandlesDevice, 42);
}

TEST_F(FormTambrelTest, AnIndicatorLitAndDarkLookDifferent) {
  TIndicator led;
  led.show();
  const QImage dark = led.grab().toImage();
  led.SetActive(true);
  const QImage lit = led.grab().toImage();
  EXPECT_EQ(dark.size(), lit.size());
  EXPECT_NE(dark, lit);
  led.SetActive(false);
  EXPECT_EQ(led.grab().toImage(), dark);
}

TEST_F(FormTambrelTest, TheDebugTerminalKeepsTheCursorInView) {
  Show();
  SetTab("TabSheetDebug");
  for (int i = 0; i < 200; ++i) Window->Controller().WriteMessage("line " + std::to_string(i));
  auto* box = Find<QScrollArea>("ScrollBoxDebug");
  TVTerm* terminal = Window->Terminal();
  const QPoint cell = terminal->CellPosition(terminal->CursorCol(), terminal->CursorRow());
  const int top = box->verticalScrollBar()->value();
  EXPECT_GT(top, 0);
  EXPECT_LE(cell.y() + terminal->LineHeight(), top + box->viewport()->height());
  EXPECT_GE(cell.y(), top);
  EXPECT_EQ(box->verticalScrollBar()->singleStep(), terminal->LineHeight());
}

TEST_F(FormTambrelTest, TheSlideRouteReachesTheSlideWindow) {
  const std::string song = Temp.Write("hide.tmb", "0 out(1, 12, 0);\n");  // device 1: hide the slide window
  Show();
  ASSERT_TRUE(Slides.isVisible());
  Find<QToolButton>("SpeedButtonSlidesActive")->click();
  Window->Controller().LoadTambrel(song);
  Window->Controller().SetPlaying(true);
  Clock->AdvanceBy(1000);
  for (int i = 0; i < 100 && Slides.isVisible(); ++i) QTest::qWait(20);
  EXPECT_FALSE(Slides.isVisible());
}

TEST_F(FormTambrelTest, ClosingEndsTheProgramAlsoWithTheMemoryAndSlideWindowsShown) {
  Show();
  EXPECT_TRUE(Slides.isVisible());  // shown with the main window
  Find<QPushButton>("BitBtnShowResources")->click();
  EXPECT_TRUE(Resources.isVisible());
  QSignalSpy closed(Window.get(), &TFormTambrel::Closed);
  Find<QPushButton>("BitBtnExit")->click();
  EXPECT_TRUE(closed.wait(2000));
  EXPECT_FALSE(Resources.isVisible());
  EXPECT_FALSE(Slides.isVisible());
  EXPECT_EQ(Window->Controller().Player(), nullptr);
}

}  // namespace
}  // namespace tambrel
