// The run statistics' arithmetic and the progress bar's rules for when it shows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "renderer/progress_bar.h"
#include "renderer/render_stats.h"

namespace aerolume {
namespace {

TEST(RenderStats, MedianIsTheMiddleSampleOrTheMeanOfTheTwoMiddleOnes) {
  EXPECT_EQ(summarize({5, 1, 3}).median, 3);
  EXPECT_EQ(summarize({4, 1, 3, 2}).median, 2.5);
  EXPECT_EQ(summarize({7}).median, 7);
}

TEST(RenderStats, P95IsTheNearestRankAndMaxTheLargest) {
  std::vector<double> samples;
  for (int i = 100; i >= 1; --i) samples.push_back(i);  // unsorted on purpose
  Summary s = summarize(samples);
  EXPECT_EQ(s.p95, 95);
  EXPECT_EQ(s.max, 100);
  samples.assign({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20});
  EXPECT_EQ(summarize(samples).p95, 19);  // ceil(0.95 * 20) = 19th
  samples.push_back(21);
  EXPECT_EQ(summarize(samples).p95, 20);  // ceil(0.95 * 21) = 20th
  EXPECT_EQ(summarize({2.5}).p95, 2.5);
  s = summarize({});
  EXPECT_EQ(s.median, 0);
  EXPECT_EQ(s.p95, 0);
  EXPECT_EQ(s.max, 0);
}

TEST(RenderStats, JsonNeverHoldsANonNumber) {
  RunFigures f;
  f.frames = 2;
  f.wall_ms = 0;  // no time measured: the rate is reported as 0, not infinity
  f.startup_ms = std::nan("");
  const std::string json = format_stats_json(f);
  EXPECT_NE(json.find("\"frames_per_second\": 0.000"), std::string::npos) << json;
  EXPECT_NE(json.find("\"startup_ms\": null"), std::string::npos) << json;
  EXPECT_EQ(json.find("nan"), std::string::npos) << json;
  EXPECT_EQ(json.find("inf"), std::string::npos) << json;
}

TEST(RenderStats, TableAndJsonCarryTheFirstFrameSimulationMedianDrawnShareAndBalloonCount) {
  RunFigures f;
  f.frames = 4;
  f.frame_ms = {40.0, 2.5, 3.0, 2.0};  // the first frame compiles the drawing code
  f.simulation_us = {48.0, 12.5, 51.0, 47.0};  // per frame, in microseconds
  f.drawn_percent_sum = 100.0 + 8.0 + 6.5 + 7.5;  // the first frame whole, then partial
  f.balloons = 37;
  const std::string json = format_stats_json(f);
  EXPECT_NE(json.find("\"simulation_us_median\": 47.500,"), std::string::npos) << json;
  EXPECT_NE(json.find("\"balloons\": 37,"), std::string::npos) << json;
  EXPECT_NE(json.find("\"drawn_share_percent_mean\": 30.500,"), std::string::npos) << json;
  EXPECT_NE(json.find("\"frame_ms_median\": 2.750,"), std::string::npos) << json;
  EXPECT_NE(json.find("\"first_frame_ms\": 40.000,"), std::string::npos) << json;
  const std::string table = format_stats_table(f);
  EXPECT_NE(table.find("simulation median   47.5 \u00b5s per pass\n"), std::string::npos)
      << table;
  EXPECT_NE(table.find("balloons            37\n"), std::string::npos) << table;
  EXPECT_NE(table.find("drawn share mean    30.5 % of the pixels\n"), std::string::npos) << table;
  EXPECT_NE(table.find("first frame         40.00 ms\n"), std::string::npos) << table;
  const std::string empty = format_stats_json(RunFigures{});  // no frames measured
  EXPECT_NE(empty.find("\"first_frame_ms\": 0.000,"), std::string::npos) << empty;
  EXPECT_NE(empty.find("\"drawn_share_percent_mean\": 0.000,"), std::string::npos) << empty;
}

class ProgressBarTest : public ::testing::Test {
 protected:
  void SetUp() override { out_ = open_memstream(&text_, &size_); }
  void TearDown() override { std::free(text_); }
  std::string written() {
    std::fflush(out_);
    return std::string(text_, size_);
  }
  std::string close_and_read() {
    std::fclose(out_);
    return std::string(text_, size_);
  }
  std::FILE* out_ = nullptr;
  char* text_ = nullptr;
  std::size_t size_ = 0;
};

TEST_F(ProgressBarTest, StaysSilentDuringTheFirstSecondAndOffATerminal) {
  ProgressBar quick(100, out_, true);
  quick.update(100, 999.9);
  quick.finish();
  ProgressBar piped(100, out_, false);
  piped.update(50, 5000.0);
  piped.finish();
  EXPECT_EQ(close_and_read(), "");
}

TEST_F(ProgressBarTest, ShowsProgressAfterASecondAndErasesItselfAtTheEnd) {
  ProgressBar bar(200, out_, true);
  bar.update(100, 1500.0);
  const std::string first = written();
  EXPECT_EQ(first.front(), '\r');
  EXPECT_NE(first.find(" 50%"), std::string::npos) << first;
  EXPECT_NE(first.find("100/200"), std::string::npos) << first;
  bar.update(101, 1520.0);  // within a tenth of a second: not redrawn
  EXPECT_EQ(written(), first);
  bar.update(200, 1530.0);  // the last frame is always drawn
  EXPECT_NE(written().find("100%"), std::string::npos);
  bar.finish();
  const std::string all = close_and_read();
  EXPECT_EQ(all.substr(all.size() - 4), "\r\033[K");
}

}  // namespace
}  // namespace aerolume
