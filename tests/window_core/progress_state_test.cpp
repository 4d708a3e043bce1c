#include "window_core/progress_state.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

using Dots = std::array<int, 4>;

TEST(ProgressState, EstimatesTheRemainingTimeFromTheFirstHigherPercent) {
  ProgressState p(10000);
  p.SetPB(0, 10500);
  p.Timer1(10600);
  EXPECT_EQ(p.time_text(), u"stima in corso..."_qs);
  EXPECT_EQ(p.estimated_end_ms(), 0);

  p.SetPB(25, 10999);  // 25 % after 1000 ms: 4000 ms in all
  EXPECT_EQ(p.bar(), 25);
  EXPECT_EQ(p.estimated_end_ms(), 14000);
  struct Case {
    std::int64_t now;
    const char16_t* text;
  };
  const Case cases[] = {
      {11000, u"3 secondi"}, {11500, u"2 secondi"},  // 2.5 s, halves to even
      {12500, u"2 secondi"},                         // 1.5 s
      {14000, u"0 secondi"}, {20000, u"0 secondi"},  // never negative once the estimate has passed
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.now);
    p.Timer1(c.now);
    EXPECT_EQ(p.time_text(), QString::fromUtf16(c.text));
  }
  p.SetPB(25, 30000);  // not higher: nothing changes
  p.SetPB(10, 30000);
  EXPECT_EQ(p.bar(), 25);
  EXPECT_EQ(p.estimated_end_ms(), 14000);
}

TEST(ProgressState, ShowsOneErrorThenCountsThemOnTheNextTick) {
  ProgressState p(0);
  EXPECT_FALSE(p.error_visible());
  p.AddErr();
  EXPECT_TRUE(p.error_visible());
  p.Timer1(500);
  EXPECT_EQ(p.error_text(), u"Si è verificato un errore durante l'operazione"_qs);
  p.AddErr();
  EXPECT_EQ(p.error_text(), u"Si è verificato un errore durante l'operazione"_qs);
  p.Timer1(1000);
  EXPECT_EQ(p.error_text(), u"Si sono verificati 2 errori durante l'operazione"_qs);
}

TEST(ProgressState, DotsMoveOnAfterAnAdvanceAndCloseUpOtherwise) {
  ProgressState p(0, 600);
  EXPECT_EQ(p.dots(), (Dots{480, 360, 240, 120}));
  p.Timer2();  // no advance: each dot takes the place of the one before it
  EXPECT_EQ(p.dots(), (Dots{480, 480, 360, 240}));
  p.ShowAdv();
  p.Timer2();
  EXPECT_EQ(p.dots(), (Dots{600, 480, 360, 240}));
  p.ShowAdv();
  p.Timer2();
  EXPECT_EQ(p.dots(), (Dots{720, 600, 480, 360}));
  // The trail leaves the frame; once the last dot is past its width all start again at 0.
  for (int i = 0; i < 2; ++i) {
    p.ShowAdv();
    p.Timer2();
  }
  EXPECT_EQ(p.dots(), (Dots{960, 840, 720, 600}));
  p.ShowAdv();
  p.Timer2();
  EXPECT_EQ(p.dots(), (Dots{0, 0, 0, 0}));
  p.ShowAdv();
  p.Timer2();
  EXPECT_EQ(p.dots(), (Dots{120, 0, 0, 0}));
}

}  // namespace
}  // namespace quorvel
