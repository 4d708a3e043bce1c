#pragma once

#include <QObject>
#include <QString>

#include <optional>

#include "documents/test_document.h"

namespace quorvel {

class FileDialogs;
class Form1;
class ResponseGraphs;
struct MainWindowControls;

// The main window's document controller: the test as the controls show it (collect and apply,
// record by record), test files (write, read, "Apri...", "Salva", "Salva con nome...", "Nuovo"
// and the question about unsaved changes) and the filter's clipboard layout.
// It keeps the test's state: `TestModified` and `TestPath`.
class TestDocuments : public QObject {
  Q_OBJECT

 public:
  TestDocuments(Form1& window, const MainWindowControls& controls, ResponseGraphs& graphs);

  bool TestModified() const { return test_modified_; }
  void SetTestModified(bool modified) { test_modified_ = modified; }
  const QString& TestPath() const { return test_path_; }

  TestDocument CollectTestDocument() const;
  bool WriteTestFile(const QString& path);
  bool ReadTestFile(const QString& path);
  bool SaveTest(const QString& path);
  bool SaveTestAs(QString& path);
  // "Apri...": asks for a file, then about the test shown, and reads it.
  bool OpenTest(QString& path);
  // Opens a chosen file as "Apri..." does once the file is chosen.
  bool OpenChosenTest(const QString& chosen);
  bool ConfirmDiscard();
  void ResetTest();
  // The window's file dialogs, which remember where the last one was left.
  FileDialogs& Dialogs();

 signals:
  // A test was opened: the window shows its name and previews it.
  void Opened();

 private:
  void ConnectMenus();
  void ApplyMainDocument(const TestDocument& document, const Record& record);
  void ShowFileError(const QString& description);
  void MenuFileApri_Click();
  // "?" > "Esempi...": "Apri..." in the folder of the example tests.
  void MenuHelpEsempi_Click();
  void MenuEditCopiaFiltro_Click();
  void MenuEditCopiaGrafico_Click();
  void MenuEditIncolla_Click();

  // The oscilloscope window's part in documents.
  std::optional<OscilloscopeSection> CollectOscilloscopeSection() const;
  void ApplyOscilloscopeRecord(const TestDocument& document, const Record& record);

  Form1& window_;
  const MainWindowControls& c_;
  ResponseGraphs& graphs_;
  bool test_modified_ = false;
  QString test_path_;
};

}  // namespace quorvel
