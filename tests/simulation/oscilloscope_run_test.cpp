#include "simulation/oscilloscope_run.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <optional>

#include "simulation/frequency_sweep.h"
#include "simulation/pacing.h"
#include "simulation/run_guard.h"
#include "simulation_test_support.h"

namespace quorvel {
namespace {

struct TraceSettings {
  std::int32_t oscillations = 1;
  std::int32_t samples = 100;
  double frequency = 1000;
  QString parameters;
  QString functions = u"vo=vi"_qs;
  QStringList items;
  int item_count = 0;
  QString waveform = u"sinusoidale"_qs;

  // One second of eight fixed steps at 1 Hz: a handful of frames.
  static TraceSettings EightSteps() {
    TraceSettings s;
    s.frequency = 1;
    s.samples = 4;
    s.parameters = u"dt=0.125"_qs;
    return s;
  }
};

class TraceTest : public RunTest {
 protected:
  std::optional<QString> Trace(const TraceSettings& s, TimeTrace& trace, RunObserver& observer,
                               const bool& stop, FilterEngine* engine = nullptr) {
    // The run assigns every item it is given: the first item_count of the case's list.
    const ScopeSettings settings{s.frequency,
                                 s.oscillations,
                                 s.samples,
                                 s.waveform,
                                 s.items.mid(0, std::max(s.item_count, 0)),
                                 s.parameters,
                                 s.functions};
    last_outcome_ =
        SimulateTrace(engine != nullptr ? *engine : *engine_, observer, settings, trace, stop);
    return ReportOf(last_outcome_);
  }
  QString Trace(const TraceSettings& s, TimeTrace& trace, FilterEngine* engine = nullptr) {
    SilentObserver observer;
    const bool stop = false;
    auto report = Trace(s, trace, observer, stop, engine);
    EXPECT_TRUE(report.has_value());
    return report.value_or(QString());
  }

  RunOutcome last_outcome_;
};

void ExpectBoundsEqual(const TimeTrace& trace, std::size_t size) {
  EXPECT_EQ(trace.times.size(), size);
  EXPECT_EQ(trace.inputs.size(), size);
  EXPECT_EQ(trace.outputs.size(), size);
  EXPECT_EQ(trace.framesPerSample.size(), size);
}

TEST_P(TraceTest, OneKilohertzSineForOnePeriodInAHundredSamples) {
  TimeTrace trace;
  const QString report = Trace(TraceSettings(), trace);
  const double dtmin = (1.0 / 1000) / 5000;
  const double ts = 0.00001;

  EXPECT_EQ(trace.frequency, 1000);
  ASSERT_GE(trace.count, 100);
  ASSERT_LE(trace.count, 102);
  ExpectBoundsEqual(trace, std::max<std::size_t>(101, static_cast<std::size_t>(trace.count)));
  EXPECT_EQ(trace.times[0], dtmin);  // the first frame, always stored
  EXPECT_EQ(trace.framesPerSample[0], 1);
  for (int k = 1; k < trace.count; ++k) {
    SCOPED_TRACE(k);
    // The first frame at or after each multiple of Ts; a frame is at most 1.1 dtmax long.
    EXPECT_GT(trace.times[k], trace.times[k - 1]);
    EXPECT_GE(trace.times[k], k * ts * (1 - 1e-9));
    EXPECT_LT(trace.times[k], k * ts + 1.1 * 10 * dtmin);
    EXPECT_GE(trace.framesPerSample[k], 1);
  }
  for (int k = 0; k < trace.count; ++k) {
    EXPECT_NEAR(trace.inputs[k], std::sin(6.28318530717958 * 1000 * trace.times[k]), 1e-9);
    EXPECT_EQ(trace.outputs[k], trace.inputs[k]);
  }

  const int frames = ReportCount(report, u"Numeto totale frame: "_qs);
  const int stored_frames = std::accumulate(trace.framesPerSample.begin(),
                                            trace.framesPerSample.begin() + trace.count, 0);
  EXPECT_LE(stored_frames, frames);
  EXPECT_GE(stored_frames, frames - 10);  // the frames after the last sample
  EXPECT_GE(ReportCount(report, u"Numero totale cicli: "_qs), frames);
  EXPECT_EQ(ReportCount(report, u"Numero campioni: "_qs), trace.count);
  EXPECT_EQ(ReportCount(report, u"Errori totali: "_qs), 0);
  const QStringList lines = ReportLines(report);
  EXPECT_EQ(lines[0], u"Operazione completata"_qs);
  EXPECT_TRUE(lines.contains(u"Timestep minimo: 2E-07"_qs));
  const auto signal = lines.indexOf(u"Segnale in ingresso (f = 1 KHz):"_qs);
  ASSERT_GT(signal, 0);
  EXPECT_EQ(lines[signal - 1], QString());
  EXPECT_EQ(lines[signal + 1], u"sinusoidale"_qs);
}

TEST_P(TraceTest, AFixedStepRunGivesAnExactReport) {
  TimeTrace trace;
  const QString report = Trace(TraceSettings::EightSteps(), trace);
  // Frames end at 0.125, 0.25, ..., 1.125 (the frame from t = 1 still runs); samples are the
  // first frames at or after 0, 0.25, 0.5, 0.75 and 1.
  EXPECT_EQ(report,
            u"Operazione completata\r\n"
            "Durata simulazione: 0 s\r\n"
            "Numero totale cicli: 9\r\n"
            "Numeto totale frame: 9\r\n"
            "Media cicli per frame: 1\r\n"
            "Numero campioni: 5\r\n"
            "Media frame per campione: 1,8\r\n"
            "Errori totali: 0\r\n"
            "Errori di timestep: 0\r\n"
            "Errori di overflow: 0\r\n"
            "Timestep minimo: 0\r\n"
            "\r\n"
            "Funzioni del filtro:\r\n"
            "vo=vi\r\n"
            "\r\n"
            "Parametri del filtro:\r\n"
            "dt=0.125\r\n"
            "\r\n"
            "Segnale in ingresso (f = 1 Hz):\r\n"
            "sinusoidale\r\n"_qs);
  ASSERT_EQ(trace.count, 5);
  ExpectBoundsEqual(trace, 5);
  EXPECT_EQ(trace.times, (std::vector<double>{0.125, 0.25, 0.5, 0.75, 1.0}));
  EXPECT_EQ(trace.framesPerSample, (std::vector<std::int32_t>{1, 1, 2, 2, 2}));
}

TEST_P(TraceTest, WithoutSamplesEveryFrameIsStoredAndTheArraysGrow) {
  // T / 0 fails (division by zero, counted in the total only) and leaves the interval at 0.
  TraceSettings settings = TraceSettings::EightSteps();
  settings.samples = 0;
  TimeTrace trace;
  const QString report = Trace(settings, trace);
  ASSERT_EQ(trace.count, 9);
  ExpectBoundsEqual(trace, 9);
  for (int k = 0; k < 9; ++k) {
    EXPECT_EQ(trace.times[k], 0.125 * (k + 1));
    EXPECT_EQ(trace.framesPerSample[k], 1);
  }
  EXPECT_EQ(ReportCount(report, u"Errori totali: "_qs), 1);
  EXPECT_EQ(ReportCount(report, u"Errori di overflow: "_qs), 0);
}

TEST_P(TraceTest, ParameterItemsAreAssignedBeforeTheLoopAndKeptInTheState) {
  struct Case {
    const char* name;
    int item_count;
    double output;
    int errors;
  };
  const Case cases[] = {
      // First, while the fresh host knows no k.
      {"list not in use", 0, -1, 0},
      {"list in use: k = 1, g = 0.5 + 25% of 2, the broken item counted", 3, 101, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingEngine recorder(*engine_);
    TraceSettings settings = TraceSettings::EightSteps();
    settings.functions = u"vo = ('k' in globalThis) ? k * 100 + g : -1"_qs;
    settings.items = QStringList{u"k 50% [0;2]"_qs, u"g 25% [0,5;2,5]"_qs, u"broken"_qs};
    settings.item_count = c.item_count;
    TimeTrace trace;
    const QString report = Trace(settings, trace, &recorder);
    ASSERT_EQ(trace.count, 5);
    for (int k = 0; k < trace.count; ++k) EXPECT_EQ(trace.outputs[k], c.output);
    EXPECT_EQ(ReportCount(report, u"Errori totali: "_qs), c.errors);
    const bool listed = std::find(recorder.state_names.begin(), recorder.state_names.end(),
                                  u"k"_qs) != recorder.state_names.end();
    EXPECT_EQ(listed, c.item_count > 0);
  }
}

TEST_P(TraceTest, TheParametersRunBeforeTheConstantsSoTheFirstRunCannotReadThem) {
  TraceSettings settings = TraceSettings::EightSteps();
  settings.parameters = u"dt=0.125\r\nx=_f*2"_qs;  // run twice: once, and again to read dt
  TimeTrace trace;
  EXPECT_EQ(ReportCount(Trace(settings, trace), u"Errori totali: "_qs), 2);
  EXPECT_EQ(ReportCount(Trace(settings, trace), u"Errori totali: "_qs), 0);
  auto x = engine_->EvaluateNumber(u"x"_qs);
  ASSERT_TRUE(x.ok());
  EXPECT_EQ(*x, 2);
}

TEST_P(TraceTest, SetUpStatementsAndRunConstantsComeInOrder) {
  RecordingEngine recorder(*engine_);
  TraceSettings settings;
  settings.oscillations = 2;
  settings.parameters = u"dt=0.0005"_qs;
  TimeTrace trace;
  Trace(settings, trace, &recorder);
  EXPECT_EQ(recorder.executed,
            (std::vector<QString>{u"dt=0"_qs, u"vo=0"_qs, u"dt=0.0005"_qs, u"dt=0.0005"_qs,
                                  u"PI=3.14159265358979"_qs, u"PI2=6.28318530717958"_qs,
                                  u"PI_2=1.5707963267949"_qs, u"_f=1000"_qs, u"_A=299792.458"_qs,
                                  u"_T=0.001"_qs, u"_w=6283.18530717958"_qs, u"_tf=0.002"_qs}));
  EXPECT_EQ(recorder.state_names, (std::vector<QString>{u"dt"_qs, u"vi"_qs, u"vo"_qs}));
  EXPECT_EQ(recorder.input_statement, u"vi = Math.sin(t * _w)"_qs);
  EXPECT_EQ(recorder.begin_runs, 1);
  EXPECT_EQ(recorder.end_runs, 1);
  EXPECT_EQ(recorder.min_dt, 0.0005);
  EXPECT_EQ(recorder.max_dt, 0.0005);
}

TEST_P(TraceTest, EveryWaveformRunsWithoutErrorsAndATypedStatementIsUsedAsIs) {
  QStringList waveforms = WaveformNames();
  waveforms << u"vi = t * 8"_qs;
  for (const QString& waveform : waveforms) {
    SCOPED_TRACE(waveform.toStdString());
    RecordingEngine recorder(*engine_);
    TraceSettings settings = TraceSettings::EightSteps();
    settings.waveform = waveform;
    TimeTrace trace;
    const QString report = Trace(settings, trace, &recorder);
    EXPECT_EQ(recorder.input_statement, WaveformStatement(waveform));
    EXPECT_EQ(ReportCount(report, u"Errori totali: "_qs), 0);
    EXPECT_TRUE(report.endsWith(u"):\r\n"_qs + waveform + u"\r\n"_qs));
    ASSERT_EQ(trace.count, 5);
    for (int k = 0; k < trace.count; ++k) {
      EXPECT_GE(trace.inputs[k], waveform == u"vi = t * 8"_qs ? 0 : -1);
      EXPECT_EQ(trace.outputs[k], trace.inputs[k]);
    }
  }
  {
    SCOPED_TRACE("the typed statement's values");
    TraceSettings settings = TraceSettings::EightSteps();
    settings.waveform = u"vi = t * 8"_qs;
    TimeTrace trace;
    Trace(settings, trace);
    for (int k = 0; k < trace.count; ++k) EXPECT_EQ(trace.inputs[k], trace.times[k] * 8);
  }
}

TEST_P(TraceTest, AJumpingInputCountsTimeStepErrorsWithTheAdaptiveStep) {
  TraceSettings settings;
  settings.samples = 10;
  settings.waveform = u"quadra"_qs;
  TimeTrace trace;
  const QString report = Trace(settings, trace);
  const int timestep = ReportCount(report, u"Errori di timestep: "_qs);
  EXPECT_GE(timestep, 1);
  EXPECT_EQ(ReportCount(report, u"Errori totali: "_qs), timestep);
  EXPECT_GT(ReportCount(report, u"Numero totale cicli: "_qs),
            ReportCount(report, u"Numeto totale frame: "_qs));  // some attempts were repeated
}

TEST_P(TraceTest, AStopDuringTheFirstFrameLeavesOutTheAverages) {
  HookedObserver observer;
  const bool stop = true;  // seen at the first pacing point
  TimeTrace trace;
  // Line the shared counter up so that the run's first attempt is a pacing point.
  for (int i = 0; i < 500 && !EveryNthCall(500); ++i) {
  }
  for (int i = 0; i < 499; ++i) ASSERT_FALSE(EveryNthCall(500));
  const auto report = Trace(TraceSettings(), trace, observer, stop);
  ASSERT_TRUE(report);
  // Both averages are 0 / 0: each failure is counted (as overflow) and its line left out.
  EXPECT_EQ(*report,
            u"Operazione annullata\r\n"
            "Durata simulazione: 0 s\r\n"
            "Numero totale cicli: 0\r\n"
            "Numeto totale frame: 0\r\n"
            "Numero campioni: 0\r\n"
            "Errori totali: 2\r\n"
            "Errori di timestep: 0\r\n"
            "Errori di overflow: 2\r\n"
            "Timestep minimo: 2E-07\r\n"
            "\r\n"
            "Funzioni del filtro:\r\n"
            "vo=vi\r\n"
            "\r\n"
            "Parametri del filtro:\r\n"
            "\r\n"
            "\r\n"
            "Segnale in ingresso (f = 1 KHz):\r\n"
            "sinusoidale\r\n"_qs);
  EXPECT_EQ(trace.count, 0);
  ExpectBoundsEqual(trace, 101);
  EXPECT_EQ(observer.add_err, 2);
  EXPECT_EQ(observer.unload2, 1);
}

TEST_P(TraceTest, AStopDuringTheRunKeepsTheSamplesStoredSoFar) {
  HookedObserver observer;
  bool stop = false;
  observer.on_show_adv = [&] { stop = true; };
  TraceSettings settings;
  settings.oscillations = 3;
  TimeTrace trace;
  const auto report = Trace(settings, trace, observer, stop);
  ASSERT_TRUE(report);
  EXPECT_EQ(ReportLines(*report)[0], u"Operazione annullata"_qs);
  EXPECT_GT(trace.count, 0);
  EXPECT_LT(trace.count, 100);
  EXPECT_EQ(ReportCount(*report, u"Numero campioni: "_qs), trace.count);
  EXPECT_EQ(observer.show_adv, 1);
  EXPECT_LT(observer.last_percent, 100);
}

TEST_P(TraceTest, ARunStartedWhileAnotherRunsIsRefused) {
  HookedObserver observer;
  HookedObserver nested_observer;
  const bool stop = false;
  SweepResult nested_result{.points = {}, .count = 4};
  std::optional<QString> nested = u"not called"_qs;
  observer.on_pump_events = [&] {
    nested = ReportOf(RunFrequencySweep(*engine_, nested_observer,
                                        SweepSettings{100, 1000, 3, 1, QString(), u"vo=vi"_qs},
                                        nested_result, stop));
  };
  TimeTrace trace;
  const auto report = Trace(TraceSettings::EightSteps(), trace, observer, stop);
  ASSERT_TRUE(report);
  EXPECT_FALSE(nested.has_value());
  EXPECT_EQ(nested_observer.calls(), 0);
  EXPECT_EQ(nested_result.count, 4);
  EXPECT_EQ(trace.count, 5);
}

TEST_P(TraceTest, AFrequencyThatIsNotAPositiveNumberIsRefused) {
  for (const double f : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
    SCOPED_TRACE(f);
    HookedObserver observer;
    const bool stop = false;
    TraceSettings settings;
    settings.frequency = f;
    TimeTrace trace;
    trace.count = 3;
    EXPECT_FALSE(Trace(settings, trace, observer, stop));
    EXPECT_EQ(observer.calls(), 0);
    EXPECT_EQ(trace.count, 3);
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, TraceTest, testing::ValuesIn(Engines()), EngineName);

TEST(WaveformStatement, MapsTheNineNamesExactlyAndTakesAnyOtherTextAsTheStatement) {
  struct Case {
    const char16_t* waveform;
    const char16_t* statement;
  };
  const Case cases[] = {
      {u"sinusoidale", u"vi = Math.sin(t * _w)"},
      {u"quadra", u"vi = (int(t * 2 * _f) % 2) * 2 - 1"},
      {u"dente di sega", u"vi = mod(t, 1 / _f) * _f * 2 - 1"},
      {u"dente di sega 2", u"vi = 1 - mod(t, 1 / _f) * _f * 2"},
      {u"triangolare", u"vi = (Math.abs(mod(t + 0.5 / _f, 1 / _f) * _f - 0.5) - 0.25) * 4"},
      {u"segnale+rumore", u"vi = Math.sin(t * _w) * 0.7 + Math.random() * 0.6 - 0.3"},
      {u"AM", u"vi = Math.sin(t * _w) * (2 + Math.sin(t * PI2 / _tf * 2)) / 3"},
      {u"ASK", u"vi = Math.sin(t * _w) * (int(t / _tf * 4) % 2)"},
      {u"rumore", u"vi = Math.random() * 2 - 1"},
      // Not names: case and blanks count.
      {u"Sinusoidale", u"Sinusoidale"},
      {u"quadra ", u"quadra "},
      {u"am", u"am"},
      {u"vi = t * 1000", u"vi = t * 1000"},
      {u"", u""},
  };
  for (const Case& c : cases) {
    const QString waveform = QString::fromUtf16(c.waveform);
    SCOPED_TRACE(waveform.toStdString());
    EXPECT_EQ(WaveformStatement(waveform), QString::fromUtf16(c.statement));
  }
  EXPECT_EQ(
      WaveformNames(),
      (QStringList{u"sinusoidale"_qs, u"quadra"_qs, u"dente di sega"_qs, u"dente di sega 2"_qs,
                   u"triangolare"_qs, u"segnale+rumore"_qs, u"AM"_qs, u"ASK"_qs, u"rumore"_qs}));
}

TEST(ParseParameterItem, SplitsNamePercentAndRangeInTheUsersNumbers) {
  struct Case {
    const char16_t* item;
    std::optional<ParameterItem> expected;
  };
  const Case cases[] = {
      {u"k 50% [0;2]", ParameterItem{u"k"_qs, 50, 0, 2}},
      {u"k 50% [0,5;2,5]", ParameterItem{u"k"_qs, 50, 0.5, 2.5}},
      {u"gain 12,5% [-1E-03;1e3]", ParameterItem{u"gain"_qs, 12.5, -0.001, 1000}},
      {u"R1 100% [ 10 ; 20 ]", ParameterItem{u"R1"_qs, 100, 10, 20}},
      {u"k50%[0;2]", std::nullopt},   // no blank
      {u" 50% [0;2]", std::nullopt},  // no name
      {u"k 50 [0;2]", std::nullopt},
      {u"k 50% (0;2)", std::nullopt},
      {u"k 50% [0,2]", std::nullopt},
      {u"k 50% [0;2", std::nullopt},
      {u"k x% [0;2]", std::nullopt},
      {u"k 50% [;2]", std::nullopt},
      {u"k 50% [0;1.2.3]", std::nullopt},
      {u"", std::nullopt},
  };
  for (const Case& c : cases) {
    const QString item = QString::fromUtf16(c.item);
    SCOPED_TRACE(item.toStdString());
    const std::optional<ParameterItem> parsed = ParseParameterItem(item);
    ASSERT_EQ(parsed.has_value(), c.expected.has_value());
    if (!parsed) continue;
    EXPECT_EQ(parsed->name, c.expected->name);
    EXPECT_EQ(parsed->percent, c.expected->percent);
    EXPECT_EQ(parsed->minimum, c.expected->minimum);
    EXPECT_EQ(parsed->maximum, c.expected->maximum);
  }
}

TEST(RunFrequencyFromSlider, RunsFromTheStartToTheEndFrequency) {
  struct Case {
    int value, maximum;
    double fs, fe, f;
  };
  const Case cases[] = {
      {0, 100, 10, 20, 10},     {100, 100, 10, 20, 20},  {50, 100, 10, 20, 15},
      {0, 100, 1000, 10, 1000}, {25, 100, 1000, 0, 750}, {0, 0, 5, 7, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.value << "/" << c.maximum);
    EXPECT_EQ(RunFrequencyFromSlider(c.value, c.maximum, c.fs, c.fe), c.f);
  }
}

}  // namespace
}  // namespace quorvel
