// Writes the example tests of the examples/ folder through the test file writer, so that they
// are exactly what the program itself would save:
//
//   make_examples DIR
//
// The committed files must stay identical to what this program writes (a test checks it);
// after changing an example here, run it on the examples/ folder and commit the files.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <iostream>
#include <utility>
#include <vector>

#include "documents/test_document.h"

namespace {

using quorvel::OscilloscopeSection;
using quorvel::TestDocument;

struct Example {
  const char* file_name;
  TestDocument test;
};

// First-order RC low-pass with its cutoff at 1 kHz, swept over four decades.
TestDocument RcLowpass() {
  TestDocument t;
  t.parameters = QStringLiteral("RC = 1/(2*3.14159265358979*1000)\r\n");
  t.functions = QStringLiteral("vo = vo + (vi - vo) * dt / RC\r\n");
  t.start_frequency = QStringLiteral("10");
  t.start_multiplier = 0;
  t.end_frequency = QStringLiteral("100");
  t.end_multiplier = 1;
  t.oscillations = 10;
  t.samples = 40;
  t.log_x = 1;
  return t;
}

// Series RLC driven by vi, output across the resistor: a second-order band-pass centred on
// 1 kHz with Q = 2 and unity gain at the centre. State: the current i and the capacitor's
// voltage vc.
TestDocument RlcBandpass() {
  TestDocument t;
  t.parameters = QStringLiteral(
      "w0 = 2*3.14159265358979*1000\r\n"
      "L = 0.1\r\n"
      "C = 1/(w0*w0*L)\r\n"
      "R = w0*L/2\r\n");
  t.functions = QStringLiteral(
      "i = i + (vi - R*i - vc) * dt / L\r\n"
      "vc = vc + i * dt / C\r\n"
      "vo = R*i\r\n");
  t.start_frequency = QStringLiteral("100");
  t.start_multiplier = 0;
  t.end_frequency = QStringLiteral("10");
  t.end_multiplier = 1;
  t.oscillations = 10;
  t.samples = 40;
  t.log_x = 1;
  return t;
}

// A comparator with hysteresis: a boolean state that switches at +th and -th. The oscilloscope
// shows it on a triangle at 1 kHz.
TestDocument SchmittTrigger() {
  TestDocument t;
  t.parameters = QStringLiteral("high = false; th = 0.5\r\n");
  t.functions = QStringLiteral(
      "if (vi > th) high = true; if (vi < -th) high = false; vo = high ? 1 : -1\r\n");
  t.start_frequency = QStringLiteral("100");
  t.start_multiplier = 0;
  t.end_frequency = QStringLiteral("10");
  t.end_multiplier = 1;
  t.oscillations = 5;
  t.samples = 10;
  t.log_x = 1;
  OscilloscopeSection o;
  o.waveform = QStringLiteral("triangolare");
  o.start_frequency = QStringLiteral("1");
  o.start_multiplier = 1;
  o.end_frequency = QStringLiteral("10");
  o.end_multiplier = 1;
  o.frequency_position = 0;
  o.oscillations = 3;
  o.samples = 500;
  o.show_filter = true;
  t.oscilloscope = std::move(o);
  return t;
}

// The RC low-pass with RC as a parameter of the oscilloscope's parametric filter: a square wave
// at 100 Hz, RC from 0.1 ms to 1 ms (half-way: 0.55 ms). The parameters text gives the sweep
// the same half-way value.
TestDocument ParametricLowpass() {
  TestDocument t;
  t.parameters = QStringLiteral("RC = 0.00055\r\n");
  t.functions = QStringLiteral("vo = vo + (vi - vo) * dt / RC\r\n");
  t.start_frequency = QStringLiteral("10");
  t.start_multiplier = 0;
  t.end_frequency = QStringLiteral("10");
  t.end_multiplier = 1;
  t.oscillations = 5;
  t.samples = 30;
  t.log_x = 1;
  OscilloscopeSection o;
  o.waveform = QStringLiteral("quadra");
  o.start_frequency = QStringLiteral("100");
  o.start_multiplier = 0;
  o.end_frequency = QStringLiteral("1");
  o.end_multiplier = 1;
  o.frequency_position = 0;
  o.oscillations = 3;
  o.samples = 1000;
  o.show_filter = true;
  o.parametric_filter = true;
  o.parameter_items = {QStringLiteral("RC 50% [0,0001;0,001]")};
  t.oscilloscope = std::move(o);
  return t;
}

std::vector<Example> Examples() {
  return {
      {"rc_lowpass.flt", RcLowpass()},
      {"rlc_bandpass.flt", RlcBandpass()},
      {"schmitt_trigger.flt", SchmittTrigger()},
      {"parametric_lowpass.flt", ParametricLowpass()},
  };
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "Uso: make_examples CARTELLA\n";
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  for (const Example& example : Examples()) {
    const quorvel::CodecResult<QByteArray> bytes = quorvel::WriteTestDocument(example.test);
    if (!bytes) {
      std::cerr << example.file_name << ": " << bytes.error().description.toStdString() << '\n';
      return 1;
    }
    QFile file(folder + QLatin1Char('/') + QString::fromLatin1(example.file_name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes.value()) != bytes.value().size() || !file.flush()) {
      std::cerr << file.fileName().toStdString() << ": " << file.errorString().toStdString()
                << '\n';
      return 1;
    }
  }
  return 0;
}
