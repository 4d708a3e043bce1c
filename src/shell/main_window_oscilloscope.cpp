// The oscilloscope window's part in the main window's documents and closing.
#include "oscilloscope/oscilloscope_window.h"
#include "shell/main_window.h"

namespace quorvel {

namespace {
// Keys of the oscilloscope section other than "-addin-" ("Osc" alone is the main window's).
bool IsOscilloscopeKey(const QString& key) { return key.size() > 3 && key.startsWith(u"Osc"); }
}  // namespace

std::optional<OscilloscopeSection> Form1::CollectOscilloscopeSection() const {
  if (!oscilloscope_) return std::nullopt;
  return oscilloscope_->CollectSection();
}

// Opening a test starts the oscilloscope's parameter list afresh: the "OscParS" records of the
// file are its items, not additions to those of the test shown before.
void Form1::ClearOscilloscopeParameters() {
  if (oscilloscope_) oscilloscope_->ClearParameters();
}

void Form1::PrepareOscilloscopeFor(const Record& record) {
  if (record.key == u"-addin-") {
    if (record.value.kind() == RecordValue::Kind::Text &&
        record.value.text() == kOscilloscopeAddin) {
      MenuToolsOsc_Click();
    }
  } else if (IsOscilloscopeKey(record.key) && !oscilloscope_) {
    // Created for the record, not shown: the Tools menu shows it later.
    oscilloscope_ = std::make_unique<Form2>(*this);
  }
}

void Form1::ApplyOscilloscopeRecord(const TestDocument& document, const Record& record) {
  if (!oscilloscope_ || !document.oscilloscope) return;
  if (record.key != u"-addin-" && !IsOscilloscopeKey(record.key)) return;
  oscilloscope_->ApplySection(*document.oscilloscope, record.key);
}

void Form1::HideOscilloscope() {
  if (oscilloscope_) oscilloscope_->close();  // only hides while the main window lives
}

void Form1::CloseOscilloscopeForGood() {
  // MainClosing is set: the window lets itself close; it is destroyed with the main window,
  // after any run it is in has returned.
  if (oscilloscope_) oscilloscope_->close();
}

}  // namespace quorvel
