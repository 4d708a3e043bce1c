#include "documents/test_document.h"

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

#include "simulation/parameter_name.h"

namespace quorvel {

namespace {

QString TagText(const std::optional<QString>& tag) { return tag.value_or(QString()); }

RecordValue TagValue(const std::optional<QString>& tag) {
  return tag ? TextValue(*tag) : RecordValue::Empty();
}

CodecError Rejected(const QString& shown, qint64 min, qint64 max) {
  return CodecError{
      CodecError::Kind::Rejected, 0,
      QStringLiteral("valore non accettato: %1 (ammessi da %2 a %3)").arg(shown).arg(min).arg(max)};
}

CodecStatus Ok() { return std::monostate{}; }

CodecStatus SetText(const RecordValue& value, QString& target) {
  target = ToText(value);
  return Ok();
}

// A reversed scroll-bar value: clamped to the bar's range, never refused once it converts.
CodecStatus SetReversed(const RecordValue& value, std::int32_t& target, std::int32_t min,
                        std::int32_t max) {
  const CodecResult<std::int32_t> number = ToLong(value);
  if (!number) return number.error();
  target = std::clamp(number.value(), min, max);
  return Ok();
}

// A slider value: the slider refuses a value outside its range.
CodecStatus SetLongInRange(const RecordValue& value, std::int32_t& target, std::int32_t min,
                           std::int32_t max) {
  const CodecResult<std::int32_t> number = ToLong(value);
  if (!number) return number.error();
  if (number.value() < min || number.value() > max) {
    return Rejected(QString::number(number.value()), min, max);
  }
  target = number.value();
  return Ok();
}

CodecStatus SetIntegerInRange(const RecordValue& value, std::int16_t& target, std::int16_t min,
                              std::int16_t max) {
  const CodecResult<std::int16_t> number = ToInteger(value);
  if (!number) return number.error();
  if (number.value() < min || number.value() > max) {
    return Rejected(QString::number(number.value()), min, max);
  }
  target = number.value();
  return Ok();
}

CodecStatus SetSingle(const RecordValue& value, float& target) {
  const CodecResult<float> number = ToSingle(value);
  if (!number) return number.error();
  target = number.value();
  return Ok();
}

// A window size: the window refuses a negative one.
CodecStatus SetSize(const RecordValue& value, float& target) {
  const CodecResult<float> number = ToSingle(value);
  if (!number) return number.error();
  if (number.value() < 0) {
    return CodecError{CodecError::Kind::Rejected, 0,
                      QStringLiteral("valore non accettato: %1 (una dimensione non può essere "
                                     "negativa)")
                          .arg(ToText(value))};
  }
  target = number.value();
  return Ok();
}

CodecStatus SetBoolean(const RecordValue& value, bool& target) {
  const CodecResult<bool> flag = ToBoolean(value);
  if (!flag) return flag.error();
  target = flag.value();
  return Ok();
}

// A status-bar tag with two states: a stored value that differs from the current tag acts as
// one click on the panel, which switches to `other` from `from` and to `from` from anything
// else.
CodecStatus ToggleTagTo(const RecordValue& value, std::optional<QString>& tag, QStringView from,
                        QStringView other) {
  const QString current = TagText(tag);
  if (ToText(value) != current) tag = current == from ? other.toString() : from.toString();
  return Ok();
}

bool IsOscilloscopeKey(const QString& key) {
  static constexpr QStringView kKeys[] = {
      u"OscSt",      u"OscW",      u"OscH",      u"OscWF",    u"OscStF",   u"OscEnF",   u"OscStFM",
      u"OscEnFM",    u"OscFreq",   u"OscOsc",    u"OscCa",    u"OscFilX",  u"OscFilY",  u"OscShFil",
      u"OscSepSign", u"OscParFil", u"OscShowPD", u"OscUnitX", u"OscVDivI", u"OscVDivO", u"OscParS"};
  return std::find(std::begin(kKeys), std::end(kKeys), key) != std::end(kKeys);
}

CodecStatus ApplyOscilloscopeRecord(OscilloscopeSection& osc, const QString& key,
                                    const RecordValue& value) {
  if (key == u"OscSt") return SetIntegerInRange(value, osc.window_state, 0, 2);
  if (key == u"OscW" || key == u"OscH") {
    // A minimized or maximized window keeps the size it has for the normal state.
    if (osc.window_state != 0) return Ok();
    return SetSize(value, key == u"OscW" ? osc.width : osc.height);
  }
  if (key == u"OscWF") return SetText(value, osc.waveform);
  if (key == u"OscStF") return SetText(value, osc.start_frequency);
  if (key == u"OscEnF") return SetText(value, osc.end_frequency);
  if (key == u"OscStFM") return SetReversed(value, osc.start_multiplier, 0, 3);
  if (key == u"OscEnFM") return SetReversed(value, osc.end_multiplier, 0, 3);
  if (key == u"OscFreq") return SetLongInRange(value, osc.frequency_position, 0, 100);
  if (key == u"OscOsc") return SetReversed(value, osc.oscillations, 1, 100);
  if (key == u"OscCa") return SetReversed(value, osc.samples, 100, 2000);
  if (key == u"OscFilX") return SetSingle(value, osc.overlay_x);
  if (key == u"OscFilY") return SetSingle(value, osc.overlay_y);
  if (key == u"OscShFil") return SetBoolean(value, osc.show_filter);
  if (key == u"OscSepSign") return SetBoolean(value, osc.separate_signals);
  if (key == u"OscParFil") return SetBoolean(value, osc.parametric_filter);
  if (key == u"OscShowPD") return SetBoolean(value, osc.point_density);
  if (key == u"OscUnitX") return ToggleTagTo(value, osc.time_unit, u"deg", u"s");
  if (key == u"OscVDivI") return SetIntegerInRange(value, osc.vdiv_in, 0, 12);
  if (key == u"OscVDivO") return SetIntegerInRange(value, osc.vdiv_out, 0, 12);
  if (key == u"OscParS") {
    const QString item = ToText(value);
    // The name is what a run assigns with "name=value": anything but an identifier would run
    // as code. An item without a blank is malformed, not dangerous: the run skips and counts it.
    const qsizetype blank = item.indexOf(u' ');
    if (blank >= 0 && !IsParameterName(QStringView(item).left(blank))) {
      if (osc.skipped_parameter_items < std::numeric_limits<std::int32_t>::max()) {
        ++osc.skipped_parameter_items;
      }
      return Ok();
    }
    osc.parameter_items.append(item);
    return Ok();
  }
  return Ok();
}

}  // namespace

CodecResult<QByteArray> WriteTestDocument(const TestDocument& d) {
  std::vector<Record> records = {
      {kTestFileIdentification.toString(), TextValue(kTestFileVersion.toString())},
      {QStringLiteral("StF"), TextValue(d.start_frequency)},
      {QStringLiteral("StFM"), LongValue(d.start_multiplier)},
      {QStringLiteral("EnF"), TextValue(d.end_frequency)},
      {QStringLiteral("EnFM"), LongValue(d.end_multiplier)},
      {QStringLiteral("Osc"), LongValue(d.oscillations)},
      {QStringLiteral("Ca"), LongValue(d.samples)},
      {QStringLiteral("logF"), LongValue(d.log_depth)},
      {QStringLiteral("logX"), IntegerValue(d.log_x)},
      {QStringLiteral("logY"), IntegerValue(d.log_y)},
      {QStringLiteral("Par"), TextValue(d.parameters)},
      {QStringLiteral("Fil"), TextValue(d.functions)},
      {QStringLiteral("ShCF"), BooleanValue(d.show_cutoff)},
      {QStringLiteral("ShTr"), BooleanValue(d.show_trace)},
      {QStringLiteral("ShFil1"), BooleanValue(d.show_filter)},
      {QStringLiteral("Fil1X"), SingleValue(d.filter1_x)},
      {QStringLiteral("Fil1Y"), SingleValue(d.filter1_y)},
      {QStringLiteral("Fil2X"), SingleValue(d.filter2_x)},
      {QStringLiteral("Fil2Y"), SingleValue(d.filter2_y)},
      {QStringLiteral("UnitAmp"), TagValue(d.unit_amplitude)},
      {QStringLiteral("UnitPh"), TagValue(d.unit_phase)},
      {QStringLiteral("Graphs"), IntegerValue(d.graphs)},
  };
  if (d.precise_method) records.push_back({QStringLiteral("MetPrec"), BooleanValue(true)});
  if (d.oscilloscope) {
    const OscilloscopeSection& o = *d.oscilloscope;
    const std::vector<Record> section = {
        {QStringLiteral("-addin-"), TextValue(kOscilloscopeAddin.toString())},
        {QStringLiteral("OscSt"), IntegerValue(o.window_state)},
        {QStringLiteral("OscW"), SingleValue(o.width)},
        {QStringLiteral("OscH"), SingleValue(o.height)},
        {QStringLiteral("OscWF"), TextValue(o.waveform)},
        {QStringLiteral("OscStF"), TextValue(o.start_frequency)},
        {QStringLiteral("OscEnF"), TextValue(o.end_frequency)},
        {QStringLiteral("OscStFM"), LongValue(o.start_multiplier)},
        {QStringLiteral("OscEnFM"), LongValue(o.end_multiplier)},
        {QStringLiteral("OscFreq"), LongValue(o.frequency_position)},
        {QStringLiteral("OscOsc"), LongValue(o.oscillations)},
        {QStringLiteral("OscCa"), LongValue(o.samples)},
        {QStringLiteral("OscFilX"), SingleValue(o.overlay_x)},
        {QStringLiteral("OscFilY"), SingleValue(o.overlay_y)},
        {QStringLiteral("OscShFil"), BooleanValue(o.show_filter)},
        {QStringLiteral("OscSepSign"), BooleanValue(o.separate_signals)},
        {QStringLiteral("OscParFil"), BooleanValue(o.parametric_filter)},
        {QStringLiteral("OscShowPD"), BooleanValue(o.point_density)},
        {QStringLiteral("OscUnitX"), TagValue(o.time_unit)},
        {QStringLiteral("OscVDivI"), IntegerValue(o.vdiv_in)},
        {QStringLiteral("OscVDivO"), IntegerValue(o.vdiv_out)},
    };
    records.insert(records.end(), section.begin(), section.end());
    for (const QString& item : o.parameter_items) {
      records.push_back({QStringLiteral("OscParS"), TextValue(item)});
    }
  }
  return EncodeRecords(records);
}

CodecStatus ApplyTestRecord(TestDocument& d, const Record& record) {
  const QString& key = record.key;
  const RecordValue& value = record.value;
  if (key == u"StF") return SetText(value, d.start_frequency);
  if (key == u"StFM") return SetReversed(value, d.start_multiplier, 0, 3);
  if (key == u"EnF") return SetText(value, d.end_frequency);
  if (key == u"EnFM") return SetReversed(value, d.end_multiplier, 0, 3);
  if (key == u"Osc") return SetReversed(value, d.oscillations, 1, 100);
  if (key == u"Ca") return SetReversed(value, d.samples, 5, 500);
  if (key == u"logF") return SetLongInRange(value, d.log_depth, 0, 100);
  if (key == u"logX") return SetIntegerInRange(value, d.log_x, 0, 2);
  if (key == u"logY") return SetIntegerInRange(value, d.log_y, 0, 2);
  if (key == u"Par") return SetText(value, d.parameters);
  if (key == u"Fil") return SetText(value, d.functions);
  if (key == u"ShCF") return SetBoolean(value, d.show_cutoff);
  if (key == u"ShTr") return SetBoolean(value, d.show_trace);
  if (key == u"ShFil1") return SetBoolean(value, d.show_filter);
  if (key == u"Fil1X") return SetSingle(value, d.filter1_x);
  if (key == u"Fil1Y") return SetSingle(value, d.filter1_y);
  if (key == u"Fil2X") return SetSingle(value, d.filter2_x);
  if (key == u"Fil2Y") return SetSingle(value, d.filter2_y);
  if (key == u"UnitAmp") return ToggleTagTo(value, d.unit_amplitude, u"", u"db");
  if (key == u"UnitPh") return ToggleTagTo(value, d.unit_phase, u"deg", u"rad");
  if (key == u"Graphs") return SetIntegerInRange(value, d.graphs, 1, 4);
  if (key == u"MetPrec") return SetBoolean(value, d.precise_method);
  if (key == u"-addin-") {
    if (ToText(value) == kOscilloscopeAddin && !d.oscilloscope) {
      // Opening the window from the Tools menu copies these from the main window.
      OscilloscopeSection& osc = d.oscilloscope.emplace();
      osc.start_frequency = d.start_frequency;
      osc.end_frequency = d.end_frequency;
      osc.start_multiplier = d.start_multiplier;
      osc.end_multiplier = d.end_multiplier;
      osc.oscillations = d.oscillations;
    }
    return Ok();
  }
  if (IsOscilloscopeKey(key)) {
    if (!d.oscilloscope) d.oscilloscope.emplace();
    return ApplyOscilloscopeRecord(*d.oscilloscope, key, value);
  }
  return Ok();  // not a key of a test: ignored
}

CodecResult<TestDocument> ReadTestDocument(const QByteArray& bytes) {
  const auto bad_header = [] {
    return CodecError{CodecError::Kind::BadHeader, 1,
                      QStringLiteral("Il formato del file non è valido")};
  };
  RecordReader reader(bytes);
  CodecResult<Record> header = reader.Next();
  if (!header) {
    // A file that ends inside its first record (an empty file too) reports that; any other
    // first line is simply not a test file.
    if (header.error().kind == CodecError::Kind::UnexpectedEnd) return header.error();
    return bad_header();
  }
  if (header.value().key != kTestFileIdentification) return bad_header();

  TestDocument document;
  while (!reader.AtEnd()) {
    const CodecResult<Record> record = reader.Next();
    if (!record) return record.error();
    const CodecStatus applied = ApplyTestRecord(document, record.value());
    if (!applied) {
      CodecError error = applied.error();
      error.record = reader.record_number();
      error.description = QStringLiteral("Record %1 (\"%2\"): %3")
                              .arg(reader.record_number())
                              .arg(record.value().key, error.description);
      return error;
    }
  }
  return document;
}

}  // namespace quorvel
