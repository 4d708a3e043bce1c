// libFuzzer target for the test file reader: arbitrary bytes go through RecordReader,
// DecodeRecords and ReadTestDocument; whatever reads is written back and read again, and the
// properties below must hold for every input. A broken property prints what broke and aborts, so
// that libFuzzer keeps the input as a crash.

#include <QByteArray>
#include <QString>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "documents/record_codec.h"
#include "documents/test_document.h"

namespace quorvel {
namespace {

[[noreturn]] void Fail(const char* property, const QByteArray& detail = {}) {
  std::fprintf(stderr, "\n*** test_file_fuzzer: property broken: %s\n", property);
  if (!detail.isEmpty()) {
    std::fprintf(stderr, "*** bytes involved (%lld):\n%s\n", static_cast<long long>(detail.size()),
                 detail.toPercentEncoding(" \"#,.+-=").constData());
  }
  std::abort();
}

void Check(bool holds, const char* property, const QByteArray& detail = {}) {
  if (!holds) Fail(property, detail);
}

// Windows-1252 decoding is total and one character per byte, so encoding gives the bytes back.
void CheckWindows1252(const QByteArray& bytes) {
  const QString text = DecodeWindows1252(bytes);
  Check(text.size() == bytes.size(), "DecodeWindows1252 gives one character per byte", bytes);
  const std::optional<QByteArray> encoded = EncodeWindows1252(text);
  Check(encoded.has_value() && *encoded == bytes,
        "EncodeWindows1252(DecodeWindows1252(bytes)) == bytes", bytes);
}

// The conversions a record goes through when it is applied; they must agree with each other (and
// run without undefined behaviour, which the sanitizers watch).
void CheckConversions(const RecordValue& value) {
  const QString text = ToText(value);
  if (value.kind() == RecordValue::Kind::Text) {
    Check(text == value.text(), "ToText of a text is the text");
  }
  const CodecResult<std::int32_t> as_long = ToLong(value);
  const CodecResult<std::int16_t> as_integer = ToInteger(value);
  const CodecResult<float> as_single = ToSingle(value);
  const CodecResult<bool> as_boolean = ToBoolean(value);
  if (as_integer) {
    Check(as_long.ok() && as_long.value() == as_integer.value(),
          "a value that converts to Integer converts to the same Long");
  }
  if (as_long) {
    Check(as_single.ok(), "a value that converts to Long converts to Single");
    Check(std::isfinite(as_single.value()), "ToSingle gives a finite number");
  }
  if (as_single) Check(std::isfinite(as_single.value()), "ToSingle gives a finite number");
  for (const CodecError* error :
       {as_long ? nullptr : &as_long.error(), as_integer ? nullptr : &as_integer.error(),
        as_single ? nullptr : &as_single.error(), as_boolean ? nullptr : &as_boolean.error()}) {
    if (error == nullptr) continue;
    Check(error->record == 0, "a conversion error carries record 0");
    Check(!error->description.isEmpty(), "a conversion error has a description");
  }
}

// Reads the bytes one record at a time, as the windows do, and compares with DecodeRecords.
void CheckRecordReader(const QByteArray& bytes) {
  RecordReader reader(bytes);
  std::vector<Record> records;
  std::optional<CodecError> error;
  TestDocument scratch;  // every record applied, header or not: ApplyTestRecord must cope
  if (reader.AtEnd()) {
    const CodecResult<Record> none = reader.Next();
    Check(!none.ok() && none.error().kind == CodecError::Kind::UnexpectedEnd &&
              none.error().record == 1,
          "bytes without a record end inside record 1", bytes);
    error = none.error();
  }
  while (!reader.AtEnd()) {
    CodecResult<Record> record = reader.Next();
    if (!record) {
      error = record.error();
      Check(error->record == reader.record_number() &&
                error->record == static_cast<int>(records.size()) + 1,
            "a read error names the record it happened in", bytes);
      Check(!error->description.isEmpty(), "a read error has a description", bytes);
      Check(reader.AtEnd(), "the reader is at its end after an error", bytes);
      const CodecResult<Record> again = reader.Next();
      Check(!again.ok() && again.error().kind == CodecError::Kind::UnexpectedEnd &&
                again.error().record == error->record,
            "Next() after an error fails again in the same record", bytes);
      break;
    }
    Check(reader.record_number() == static_cast<int>(records.size()) + 1,
          "record_number() counts the records read", bytes);
    CheckConversions(record.value().value);
    const CodecStatus applied = ApplyTestRecord(scratch, record.value());
    if (!applied) {
      Check(applied.error().record == 0 && !applied.error().description.isEmpty(),
            "ApplyTestRecord errors carry record 0 and a description", bytes);
    }
    records.push_back(std::move(record.value()));
  }

  const CodecResult<std::vector<Record>> decoded = DecodeRecords(bytes);
  if (error) {
    Check(!decoded.ok() && decoded.error().kind == error->kind &&
              decoded.error().record == error->record &&
              decoded.error().description == error->description,
          "DecodeRecords fails as the record-by-record reader does", bytes);
    return;
  }
  Check(decoded.ok() && decoded.value() == records,
        "DecodeRecords gives the records the record-by-record reader gives", bytes);

  // Records that were read can be written, and read back as the same records; the written bytes
  // are the writer's own layout, so writing them again changes nothing.
  const CodecResult<QByteArray> encoded = EncodeRecords(records);
  Check(encoded.ok(), "records that were read can be written", bytes);
  const CodecResult<std::vector<Record>> reread = DecodeRecords(encoded.value());
  Check(reread.ok() && reread.value() == records, "written records read back equal",
        encoded.value());
  const CodecResult<QByteArray> encoded_again = EncodeRecords(reread.value());
  Check(encoded_again.ok() && encoded_again.value() == encoded.value(),
        "writing records read from the writer's bytes gives the same bytes", encoded.value());
}

// What a Single field becomes when it is saved and read again: its text has at most 7
// significant digits, and reading that text gives the nearest Single.
float SavedSingle(float value) {
  const QString text = FormatSingle(value);
  Check(!text.isEmpty(), "a Single that was read has a text");
  const QByteArray latin = text.toLatin1();
  const float saved = static_cast<float>(std::strtod(latin.constData(), nullptr));
  // Seven significant digits are exact to half a unit in the seventh digit, 5e-7 of the value;
  // the slack covers the rounding to Single on both sides.
  Check(std::fabs(static_cast<double>(saved) - value) <= 6.5e-7 * std::fabs(value),
        "a saved Single keeps seven significant digits", latin);
  return saved;
}

// The document that saving `d` and reading the file again must give. Writing and reading lose
// exactly these, by the file's design:
// - a Single keeps its 7-digit text's value;
// - "UnitAmp" holding the empty text is written as "" and reads as never set (both show the
//   same panel);
// - the oscilloscope window's size is applied only in the normal state, and "OscSt" comes
//   before "OscW"/"OscH", so a minimized or maximized window reads back with the default size;
// - the count of parameter items skipped for a bad name is not written (the items are not).
TestDocument AfterSaving(TestDocument d) {
  for (float* single : {&d.filter1_x, &d.filter1_y, &d.filter2_x, &d.filter2_y}) {
    *single = SavedSingle(*single);
  }
  if (d.unit_amplitude && d.unit_amplitude->isEmpty()) d.unit_amplitude.reset();
  if (d.oscilloscope) {
    OscilloscopeSection& osc = *d.oscilloscope;
    for (float* single : {&osc.width, &osc.height, &osc.overlay_x, &osc.overlay_y}) {
      *single = SavedSingle(*single);
    }
    osc.skipped_parameter_items = 0;
    if (osc.window_state != 0) {
      const OscilloscopeSection defaults;
      osc.width = defaults.width;
      osc.height = defaults.height;
    }
  }
  return d;
}

void CheckTestDocument(const QByteArray& bytes) {
  const CodecResult<TestDocument> first = ReadTestDocument(bytes);
  if (!first) {
    Check(first.error().record >= 1 && !first.error().description.isEmpty(),
          "a failed read names a record and has a description", bytes);
    return;
  }
  // Everything a read gives is writable: texts came from Windows-1252 bytes, numbers are finite.
  const CodecResult<QByteArray> written = WriteTestDocument(first.value());
  Check(written.ok(), "a document that was read can be written", bytes);

  const CodecResult<TestDocument> second = ReadTestDocument(written.value());
  Check(second.ok(), "a written document can be read", written.value());
  Check(second.value() == AfterSaving(first.value()),
        "a written document reads back as the document that was written", written.value());

  // Once saved, a document is stable: saving what was read gives the same bytes again.
  const CodecResult<QByteArray> rewritten = WriteTestDocument(second.value());
  Check(rewritten.ok(), "a document read from written bytes can be written", written.value());
  const CodecResult<TestDocument> third = ReadTestDocument(rewritten.value());
  Check(third.ok(), "a rewritten document can be read", rewritten.value());
  const CodecResult<QByteArray> third_written = WriteTestDocument(third.value());
  Check(third_written.ok() && third_written.value() == rewritten.value(),
        "saving a saved document again gives the same bytes", rewritten.value());
}

}  // namespace
}  // namespace quorvel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A deep copy: the reader keeps its own bytes, and ASan then sees reads past the input's end.
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  quorvel::CheckWindows1252(bytes);
  quorvel::CheckRecordReader(bytes);
  quorvel::CheckTestDocument(bytes);
  return 0;
}
