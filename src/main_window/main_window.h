#pragma once

#include <QMainWindow>

#include <cstdint>
#include <memory>

#include "main_window/main_window_controls.h"
#include "oscilloscope/oscilloscope_host.h"
#include "window_core/drag.h"
#include "window_core/main_window_layout.h"

namespace quorvel {

class FileDialogs;
class Form2;
class ResponseGraphs;
class RunLauncher;
class ScriptHost;
class TestDocuments;

// The program's first window: the test being edited (filter texts and sweep settings), the
// amplitude and phase graphs, the status bar, and the commands that run a sweep. It owns the one
// script host and the run launcher, which it lends to the oscilloscope window it creates. Its
// work is shared with the graph pane (ResponseGraphs) and the document controller
// (TestDocuments); the window itself lays the controls out, drags the splitters and runs sweeps.
class Form1 : public QMainWindow, public OscilloscopeHost {
  Q_OBJECT

 public:
  Form1();
  ~Form1() override;

  // Called by the progress window, by name, when the user cancels a run.
  Q_INVOKABLE void AsyncCallback(qint16& res);

  // What the oscilloscope window takes from this one.
  QString ParametersText() const override;
  QString FunctionsText() const override;
  ScriptHost& Script1() override { return *Script1_; }
  RunLauncher& Launcher() override { return *launcher_; }
  QString HelpFile() const override { return help_file_; }
  FileDialogs& Dialogs() override { return *dialogs_; }
  void SaveTest() override;
  bool MainClosing() const override { return main_closing_; }

  // The folder of the help pages (beside the program, or installed).
  void SetHelpFile(const QString& folder) { help_file_ = folder; }
  ResponseGraphs& Graphs() { return *graphs_; }
  TestDocuments& Documents() { return *documents_; }
  const MainWindowGeometry& geometry_twips() const { return geometry_; }
  // True while a sweep of this window runs.
  bool running() const { return running_; }

  // Opens a test as "Apri..." does once a file is chosen (a file given on the command line);
  // while a run lasts, the file is opened once it has ended.
  void OpenFile(const QString& path);
  // Opens a test given at start (OpenFile) once this window is on the screen, where the window
  // manager put it, so that the preview's progress window centres on the window's real place.
  void OpenFileOnceShown(const QString& path);

  // The oscilloscope window, once "Oscilloscopio..." or a test file created it; kept, hidden
  // when closed, until this window goes.
  Form2* oscilloscope() const { return oscilloscope_.get(); }
  // "Oscilloscopio...": shows the oscilloscope, creating it with this window's frequencies.
  void MenuToolsOsc_Click();
  // Creates the oscilloscope without showing it (for a test file's records).
  void CreateOscilloscope();
  void HideOscilloscope();

  void ApplyDefaultSliders();
  // A new test starts on a fresh global scope with the prelude loaded again, so that nothing a
  // test's scripts left behind (a redefined prelude function, a frozen global object) reaches
  // the next one. A failure is shown in a message box.
  void FreshScriptScope();
  void LayoutMainWindow();
  // The tab strip's choice: which graphs show, then the layout.
  void TS1_Click(int index);

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ConnectControls();
  void cmdStart_Click();
  void cmdStop_Click();
  void RunSweep(double start_frequency, double end_frequency, std::int32_t samples,
                std::int16_t oscillations);
  void PreviewOpenedTest();
  void OpenWhenExposed();
  // While a run lasts, the commands that would change the test or start another run are
  // unavailable; a close or a file open asked for meanwhile is carried out once it has ended.
  void RunningChanged(bool running);
  void StopRuns();
  void Splitter_MouseDown(QWidget* splitter, QPointF global_position);
  void Splitter_MouseMove(QWidget* splitter, QPointF global_position);
  QPointF CursorTwips(QPointF global_position) const;
  void ApplyGeometry();

  std::unique_ptr<ScriptHost> Script1_;
  RunLauncher* launcher_ = nullptr;
  std::unique_ptr<FileDialogs> dialogs_;
  MainWindowControls c_;
  ResponseGraphs* graphs_ = nullptr;
  TestDocuments* documents_ = nullptr;
  // Destroyed before the script host, after any run it is in has returned.
  std::unique_ptr<Form2> oscilloscope_;
  MainWindowGeometry geometry_;
  DragOffsets drag_offsets_;
  QString help_file_;
  bool main_closing_ = false;
  bool cancel_ = false;
  bool running_ = false;
  bool close_after_run_ = false;
  QString open_after_run_;
  QString open_when_exposed_;
};

// True when a window of that form name ("Form1", "Form2") exists, shown or hidden.
bool IsFormLoaded(const QString& form_name);

}  // namespace quorvel
