// Animated WebP files: what is written decodes as a looping animation of every frame at
// the given size and pace, and a path that cannot be written leaves nothing behind.
#include "renderer/webp_animation.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <webp/demux.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace aerolume {
namespace {

constexpr int width = 64;
constexpr int height = 48;
constexpr int frame_ms = 40;

// Frame k is one flat colour, different for every k, so no two frames are merged.
RgbImage flat_frame(int k) {
  RgbImage image;
  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<std::size_t>(width) * height * 3);
  for (std::size_t i = 0; i < image.pixels.size(); i += 3) {
    image.pixels[i] = static_cast<std::uint8_t>(200 - 40 * k);
    image.pixels[i + 1] = static_cast<std::uint8_t>(30 + 40 * k);
    image.pixels[i + 2] = 90;
  }
  return image;
}

// Runs the whole write; false at the first step that fails.
bool write_animation(const std::string& path, int frames, std::string* error) {
  WebpAnimation animation;
  if (!animation.open(path, width, height, frame_ms, error)) return false;
  for (int k = 0; k < frames; ++k)
    if (!animation.add_frame(flat_frame(k), error)) return false;
  return animation.finish(error);
}

std::set<std::string> entries(const std::string& folder) {
  std::set<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.insert(name);
    }
    closedir(dir);
  }
  return names;
}

class WebpAnimationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = ::testing::TempDir() + "webp_animation_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override {
    for (const std::string& name : entries(folder_)) {
      const std::string path = folder_ + "/" + name;
      if (unlink(path.c_str()) != 0) rmdir(path.c_str());
    }
    rmdir(folder_.c_str());
  }
  std::string folder_;
};

TEST_F(WebpAnimationTest, DecodesAsALoopingAnimationOfEveryFrameAtItsSizeAndPace) {
  const std::string path = folder_ + "/scene.webp";
  const int frames = 5;
  std::string error;
  ASSERT_TRUE(write_animation(path, frames, &error)) << error;
  EXPECT_EQ(entries(folder_), std::set<std::string>{"scene.webp"});  // no temporary left

  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  const WebPData data{bytes.data(), bytes.size()};
  WebPDemuxer* demuxer = WebPDemux(&data);
  ASSERT_NE(demuxer, nullptr) << "not a WebP file";
  EXPECT_TRUE(WebPDemuxGetI(demuxer, WEBP_FF_FORMAT_FLAGS) & ANIMATION_FLAG);
  WebPDemuxDelete(demuxer);

  WebPAnimDecoderOptions options;
  ASSERT_TRUE(WebPAnimDecoderOptionsInit(&options));
  options.color_mode = MODE_RGBA;
  WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
  ASSERT_NE(decoder, nullptr);
  WebPAnimInfo info;
  ASSERT_TRUE(WebPAnimDecoderGetInfo(decoder, &info));
  EXPECT_EQ(info.canvas_width, static_cast<std::uint32_t>(width));
  EXPECT_EQ(info.canvas_height, static_cast<std::uint32_t>(height));
  EXPECT_EQ(info.frame_count, static_cast<std::uint32_t>(frames));
  EXPECT_EQ(info.loop_count, 0u);  // forever

  // Each frame ends frame_ms after the one before and shows its own colour (lossy: a
  // few levels off at most, never another frame's colour, which is 40 levels away).
  for (int k = 0; k < frames && WebPAnimDecoderHasMoreFrames(decoder); ++k) {
    std::uint8_t* rgba = nullptr;
    int end_ms = 0;
    ASSERT_TRUE(WebPAnimDecoderGetNext(decoder, &rgba, &end_ms));
    EXPECT_EQ(end_ms, (k + 1) * frame_ms) << "frame " << k;
    const std::uint8_t* centre = rgba + ((height / 2) * width + width / 2) * 4;
    const RgbImage expected = flat_frame(k);
    for (int c = 0; c < 3; ++c)
      EXPECT_NEAR(centre[c], expected.pixels[c], 8) << "frame " << k << " channel " << c;
  }
  WebPAnimDecoderDelete(decoder);
}

TEST_F(WebpAnimationTest, APathThatCannotBeWrittenFailsAndLeavesNothing) {
  std::string error;
  const std::string in_missing_folder = folder_ + "/missing/scene.webp";
  EXPECT_FALSE(write_animation(in_missing_folder, 2, &error));
  EXPECT_NE(error.find(in_missing_folder), std::string::npos) << error;
  EXPECT_TRUE(entries(folder_).empty());

  const std::string directory = folder_ + "/frames";
  ASSERT_EQ(mkdir(directory.c_str(), 0755), 0);
  error.clear();
  EXPECT_FALSE(write_animation(directory, 2, &error));
  EXPECT_NE(error.find(directory), std::string::npos) << error;
  EXPECT_EQ(entries(folder_), std::set<std::string>{"frames"});
  EXPECT_TRUE(entries(directory).empty());

  // An animation given up before finish() leaves no file either.
  {
    WebpAnimation animation;
    ASSERT_TRUE(animation.open(folder_ + "/abandoned.webp", width, height, frame_ms, &error));
    ASSERT_TRUE(animation.add_frame(flat_frame(0), &error)) << error;
  }
  EXPECT_EQ(entries(folder_), std::set<std::string>{"frames"});
}

}  // namespace
}  // namespace aerolume
