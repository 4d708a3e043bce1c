#pragma once

// A whole test as a plain value: the main window's settings, the oscilloscope window's section
// when that window exists, and its parameter list. The command-line tool reads and writes
// tests through this type; the windows apply the same records to their controls themselves.

#include "documents/record_codec.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <optional>

namespace quorvel {

// The first record of every test file: this identification as key, the version as text.
inline constexpr QStringView kTestFileIdentification = u"Quorvel - Ombrat";
inline constexpr QStringView kTestFileVersion = u"1.0.0";
// The value of the "-addin-" record that opens the oscilloscope section.
inline constexpr QStringView kOscilloscopeAddin = u"Oscilloscopio";

// The oscilloscope window's settings, as a freshly loaded window has them. Reversed values are
// the values the bars show (the top end is the largest).
struct OscilloscopeSection {
  std::int16_t window_state = 0;  // "OscSt": 0 normal, 1 minimized, 2 maximized
  float width = 7800;             // "OscW": outer width in twips (the minimum size)
  float height = 6500;            // "OscH": outer height in twips
  QString waveform = QStringLiteral("sinusoidale");        // "OscWF": text of cmbWF
  QString start_frequency = QStringLiteral("1");           // "OscStF"
  QString end_frequency = QStringLiteral("1");             // "OscEnF"
  std::int32_t start_multiplier = 0;                       // "OscStFM": reversed, 0 to 3
  std::int32_t end_multiplier = 1;                         // "OscEnFM": reversed, 0 to 3
  std::int32_t frequency_position = 0;                     // "OscFreq": slider SFF, 0 to 100
  std::int32_t oscillations = 2;                           // "OscOsc": reversed, 1 to 100
  std::int32_t samples = 1000;                             // "OscCa": reversed, 100 to 2000
  float overlay_x = 0;                                     // "OscFilX": FilX
  float overlay_y = 0;                                     // "OscFilY": FilY
  bool show_filter = false;                                // "OscShFil": MenuShowFil
  bool separate_signals = false;                           // "OscSepSign": MenuShowSepSign
  bool parametric_filter = false;                          // "OscParFil": MenuToolsParF
  bool point_density = false;                              // "OscShowPD": MenuShowPD
  std::optional<QString> time_unit = QStringLiteral("s");  // "OscUnitX": tag of panel 3
  std::int16_t vdiv_in = 6;                                // "OscVDivI": SVDivI, 0 to 12
  std::int16_t vdiv_out = 6;                               // "OscVDivO": SVDivO, 0 to 12
  QStringList parameter_items;                             // "OscParS": lstPar in list order
  // "OscParS" records that were read and skipped because the item's name is not a parameter
  // name (IsParameterName): a run would execute it as code. Not written to a file.
  std::int32_t skipped_parameter_items = 0;

  friend bool operator==(const OscilloscopeSection&, const OscilloscopeSection&) = default;
};

// The main window's settings as the program starts with them. A status-bar tag that was never
// set is std::nullopt and is written as an empty value (nothing after the comma).
struct TestDocument {
  QString start_frequency = QStringLiteral("1");    // "StF": text of txtStF
  std::int32_t start_multiplier = 0;                // "StFM": reversed, 0 to 3
  QString end_frequency = QStringLiteral("1");      // "EnF"
  std::int32_t end_multiplier = 1;                  // "EnFM": reversed, 0 to 3
  std::int32_t oscillations = 2;                    // "Osc": reversed, 1 to 100
  std::int32_t samples = 20;                        // "Ca": reversed, 5 to 500
  std::int32_t log_depth = 10;                      // "logF": slider SLog, 0 to 100
  std::int16_t log_x = 0;                           // "logX": check box, 0 to 2
  std::int16_t log_y = 0;                           // "logY": check box, 0 to 2
  QString parameters;                               // "Par": text of txtPar
  QString functions = QStringLiteral("vo=vi\r\n");  // "Fil": text of txtFil
  bool show_cutoff = true;                          // "ShCF": MenuShowCF
  bool show_trace = true;                           // "ShTr": MenuShowTr
  bool show_filter = true;                          // "ShFil1": MenuShowFil
  float filter1_x = 0;                              // "Fil1X": overlay on the amplitude graph
  float filter1_y = 0;                              // "Fil1Y"
  float filter2_x = 0;                              // "Fil2X": overlay on the phase graph
  float filter2_y = 0;                              // "Fil2Y"
  std::optional<QString> unit_amplitude;            // "UnitAmp": tag of panel 4 ("db" or "")
  std::optional<QString> unit_phase = QStringLiteral("deg");  // "UnitPh": tag of panel 5
  std::int16_t graphs = 1;  // "Graphs": selected tab of TS1, 1 to 4
  // "MetPrec": the sweep measures with the precise method. Written only when true (after
  // "Graphs"), so that a test without it keeps its bytes and older readers, which ignore
  // unknown keys, read the rest as before.
  bool precise_method = false;
  std::optional<OscilloscopeSection> oscilloscope;  // present when the window exists

  friend bool operator==(const TestDocument&, const TestDocument&) = default;
};

// The file bytes of a test: header, the 21 main-window records, "MetPrec" when the precise
// method is on, then, with an oscilloscope section, "-addin-", its 20 records and one "OscParS"
// per parameter item. Fails, writing
// nothing, when a text holds a character that Windows-1252 cannot store or a Single is not
// finite.
CodecResult<QByteArray> WriteTestDocument(const TestDocument& document);

// A test read from file bytes: the header is checked, then every record is applied in file
// order to a default TestDocument (a fresh read therefore starts with no oscilloscope section
// and an empty parameter list). Errors name the record; a wrong header gives
// "Il formato del file non è valido".
CodecResult<TestDocument> ReadTestDocument(const QByteArray& bytes);

// Applies one record (not the header) as opening a file applies it:
// - texts: any value, converted to text;
// - reversed values ("StFM", "EnFM", "Osc", "Ca" and their oscilloscope twins): converted to
//   Long and clamped to the bar's range, as setting a reversed value does;
// - "logF" and "OscFreq" (sliders 0 to 100), "logX"/"logY" (0 to 2), "Graphs" (1 to 4),
//   "OscSt" (0 to 2), "OscVDivI"/"OscVDivO" (0 to 12): a value outside the range is refused;
// - "OscW"/"OscH": only while "OscSt" is 0 (normal); a negative size is refused;
// - "UnitAmp", "UnitPh", "OscUnitX": when the value differs from the current tag, the tag
//   toggles once, as a click on the status-bar panel does;
// - "-addin-" with "Oscilloscopio" creates the oscilloscope section, taking the main window's
//   start and end frequency texts, multipliers and oscillations (not the samples); another
//   value is ignored; an existing section is kept unchanged;
// - any other key of the oscilloscope section creates the section with its defaults first;
//   "OscParS" appends an item, unless the text before its first blank is not a parameter name
//   (IsParameterName): that item is skipped and counted in skipped_parameter_items;
// - unknown keys are ignored.
// Errors carry record 0 and describe the value only; ReadTestDocument adds record and key.
CodecStatus ApplyTestRecord(TestDocument& document, const Record& record);

}  // namespace quorvel
