// The oscilloscope window's part in the main window's documents.
#include "shell/main_window.h"

namespace quorvel {

std::optional<OscilloscopeSection> Form1::CollectOscilloscopeSection() const {
  return std::nullopt;
}

void Form1::ClearOscilloscopeParameters() {}

void Form1::PrepareOscilloscopeFor(const Record&) {}

void Form1::ApplyOscilloscopeRecord(const TestDocument&, const Record&) {}

void Form1::HideOscilloscope() {}

void Form1::CloseOscilloscopeForGood() {}

}  // namespace quorvel
