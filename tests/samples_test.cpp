// The sample count taken of those a driver offers, and the EGL configuration chosen for a
// compositor's buffers and for pictures.
#include <gtest/gtest.h>

#include <vector>

#include "render/egl_configs.h"
#include "render/framebuffer_samples.h"

namespace aerolume {
namespace {

// Of the sample counts a driver offers, the one asked, else the nearest below it.
TEST(Samples, TheNearestCountBelowTheOneAskedIsTaken) {
  struct Case {
    int asked;
    std::vector<int> offered;
    int taken;
  };
  const Case cases[] = {{8, {16, 2, 4, 0}, 4},  {16, {2, 8, 4, 8}, 8}, {4, {4, 8}, 4},
                        {2, {4, 8, 16}, 0},     {0, {2, 4}, 0},        {16, {}, 0}};
  for (const Case& c : cases) EXPECT_EQ(samples_to_take(c.asked, c.offered), c.taken) << c.asked;
}

// Of the configurations EGL offers (deeper colour listed first), the samples as above;
// then for a compositor's buffers no alpha and exactly 8 bits a channel where offered,
// else the nearest deeper; for pictures the first listed, as they were always drawn.
TEST(Samples, EightBitsAChannelWithoutAlphaAreTakenForACompositor) {
  const OfferedConfig ten{0, 10, 10, 10, 0}, ten_alpha{0, 10, 10, 10, 2}, eight{0, 8, 8, 8, 0},
      eight_alpha{0, 8, 8, 8, 8}, twelve{0, 12, 12, 12, 0}, low{0, 5, 6, 5, 0};
  const auto sampled = [](OfferedConfig config, int samples) {
    config.samples = samples;
    return config;
  };
  // As Mesa lists them: 10 bits (no alpha, 2 bits of alpha), then 8, with 0 and 4 samples.
  const std::vector<OfferedConfig> mesa{ten, sampled(ten, 4), ten_alpha, eight, sampled(eight, 4),
                                        eight_alpha};
  constexpr ColourChoice shown = ColourChoice::opaque_8_bits, file = ColourChoice::as_listed;
  struct Case {
    int asked;
    ColourChoice colour;
    std::vector<OfferedConfig> offered;
    int chosen, taken;
  };
  const Case cases[] = {
      {0, shown, mesa, 3, 0},
      {4, shown, mesa, 4, 4},
      {0, file, mesa, 0, 0},
      {4, file, mesa, 1, 4},
      {8, shown, {sampled(ten, 4), sampled(eight, 4), eight}, 1, 4},
      {0, shown, {twelve, ten_alpha, ten}, 2, 0},  // no 8 bits: the nearest deeper
      {0, shown, {eight_alpha, ten}, 1, 0},        // no alpha before fewer bits
      {0, shown, {ten_alpha, eight_alpha}, 1, 0},  // all with alpha: the fewest bits
      {0, shown, {eight, eight}, 0, 0},            // a tie: the first offered
      {0, shown, {low, eight}, 1, 0},              // under 8 bits a channel: never
      {0, file, {low, ten}, 1, 0},
      {0, shown, {low}, -1, 0},
      {0, file, {}, -1, 0}};
  for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    int taken = -1;
    EXPECT_EQ(config_to_take(cases[i].asked, cases[i].colour, cases[i].offered, &taken),
              cases[i].chosen)
        << "case " << i;
    EXPECT_EQ(taken, cases[i].taken) << "case " << i;
  }
}

}  // namespace
}  // namespace aerolume
