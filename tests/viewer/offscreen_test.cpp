// The frames file that --frames-to writes and a desktop's plugin reads: the layout a
// reader finds, the newest frame handed over whole, a copy overtaken by the writer
// dropped rather than shown torn, the reader's word on whether its picture is seen, and
// the writer's that it writes there no more.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "viewer/offscreen/shared_frames.h"

namespace aerolume {
namespace {

class FramesFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/aerolume-frames-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    path_ = folder_ + "/frames";
  }
  void TearDown() override {
    std::remove(path_.c_str());
    rmdir(folder_.c_str());
  }
  // Fills the writer's next buffer with `value` in every byte and publishes it, or, with
  // publish false, leaves it being written.
  static void write_frame(SharedFramesWriter& writer, std::uint8_t value, bool publish = true) {
    std::memset(writer.begin_frame(), value,
                static_cast<std::size_t>(writer.stride()) * writer.height());
    if (publish) writer.publish();
  }
  // A ticket's pixels into *pixels, resized to hold them.
  static void copy(const SharedFramesReader& reader, const SharedFramesReader::Ticket& ticket,
                   std::vector<std::uint8_t>* pixels) {
    pixels->resize(static_cast<std::size_t>(reader.stride()) * reader.height());
    reader.copy_pixels(ticket, pixels->data());
  }
  // The three steps as the wallpaper takes them: true with a whole copy of a newer frame.
  static bool copy_newest(SharedFramesReader& reader, std::vector<std::uint8_t>* pixels) {
    const std::optional<SharedFramesReader::Ticket> ticket = reader.newest_ticket();
    if (!ticket) return false;
    copy(reader, *ticket, pixels);
    return reader.copy_was_whole(*ticket);
  }
  static bool all_bytes(const std::vector<std::uint8_t>& pixels, std::uint8_t value) {
    for (std::uint8_t b : pixels)
      if (b != value) return false;
    return !pixels.empty();
  }

  std::string folder_, path_;
};

TEST_F(FramesFile, AReaderFindsTheWritersSizeAndEachNewFrameOnce) {
  SharedFramesWriter writer;
  std::string error;
  ASSERT_TRUE(writer.open(path_, 7, 3, &error)) << error;
  SharedFramesReader reader;
  ASSERT_TRUE(reader.open(path_, &error)) << error;
  EXPECT_EQ(reader.width(), 7);
  EXPECT_EQ(reader.height(), 3);
  EXPECT_EQ(reader.stride(), 28);
  EXPECT_EQ(reader.writer_pid(), static_cast<std::uint32_t>(getpid()));

  std::vector<std::uint8_t> pixels;
  EXPECT_FALSE(copy_newest(reader, &pixels)) << "no frame yet";
  write_frame(writer, 1);
  ASSERT_TRUE(copy_newest(reader, &pixels));
  EXPECT_EQ(pixels.size(), 28u * 3);
  EXPECT_TRUE(all_bytes(pixels, 1));
  EXPECT_FALSE(copy_newest(reader, &pixels)) << "the same frame again";
  // Three frames while the reader looks away: it gets the newest, not the ones between.
  write_frame(writer, 2);
  write_frame(writer, 3);
  write_frame(writer, 4);
  ASSERT_TRUE(copy_newest(reader, &pixels));
  EXPECT_TRUE(all_bytes(pixels, 4));
  EXPECT_EQ(reader.frame_copied(), 4u);
  // A frame being written leaves the newest complete one to read.
  write_frame(writer, 5);
  write_frame(writer, 6, false);
  ASSERT_TRUE(copy_newest(reader, &pixels));
  EXPECT_TRUE(all_bytes(pixels, 5));

  // What the reader says of its picture reaches the writer; a word it does not know
  // means nobody sees it, never that somebody does.
  EXPECT_EQ(writer.seen(), FramesSeen::seen) << "a new file says seen";
  reader.set_seen(FramesSeen::covered);
  EXPECT_EQ(writer.seen(), FramesSeen::covered);
  reader.set_seen(static_cast<FramesSeen>(9));
  EXPECT_EQ(writer.seen(), FramesSeen::hidden);
  // A file the writer leaves is to be opened again.
  EXPECT_FALSE(reader.retired());
  writer.retire();
  EXPECT_TRUE(reader.retired());
}

TEST_F(FramesFile, ACopyTheWriterOvertookIsDroppedNotShownTorn) {
  SharedFramesWriter writer;
  std::string error;
  ASSERT_TRUE(writer.open(path_, 4, 2, &error)) << error;
  SharedFramesReader reader;
  ASSERT_TRUE(reader.open(path_, &error)) << error;
  write_frame(writer, 1);
  write_frame(writer, 2);
  // The reader takes frame 2 (the buffer frame 4 will reuse) and is slow: two frames
  // later the writer is filling that same buffer again, half done, while the copy is made.
  const std::optional<SharedFramesReader::Ticket> ticket = reader.newest_ticket();
  ASSERT_TRUE(ticket);
  EXPECT_EQ(ticket->frame, 2u);
  write_frame(writer, 3);
  std::uint8_t* reused = writer.begin_frame();
  std::memset(reused, 4, 4);  // a first pixel of frame 4, the rest still frame 2's
  std::vector<std::uint8_t> pixels;
  copy(reader, *ticket, &pixels);
  EXPECT_FALSE(all_bytes(pixels, 2)) << "the copy is torn, as the writer overtook it";
  EXPECT_FALSE(reader.copy_was_whole(*ticket));
  EXPECT_EQ(reader.frame_copied(), 0u);
  // While frame 4 is written the newest is frame 3, in the other buffer: whole.
  ASSERT_TRUE(copy_newest(reader, &pixels));
  EXPECT_TRUE(all_bytes(pixels, 3));
  std::memset(reused, 4, static_cast<std::size_t>(writer.stride()) * writer.height());
  writer.publish();
  ASSERT_TRUE(copy_newest(reader, &pixels));
  EXPECT_TRUE(all_bytes(pixels, 4));
}

TEST_F(FramesFile, AFileNotYetOrNotAFramesFileIsRefused) {
  SharedFramesReader reader;
  std::string error;
  EXPECT_FALSE(reader.open(path_, &error));
  EXPECT_NE(error.find("cannot open " + path_), std::string::npos) << error;
  // Something else of that name: too short, then long enough without the magic.
  FILE* other = std::fopen(path_.c_str(), "w");
  ASSERT_NE(other, nullptr);
  std::fputs("not frames", other);
  std::fclose(other);
  EXPECT_FALSE(reader.open(path_, &error));
  EXPECT_NE(error.find("is not a frames file"), std::string::npos) << error;
  other = std::fopen(path_.c_str(), "w");
  ASSERT_NE(other, nullptr);
  const std::vector<char> zeros(4096, 0);
  std::fwrite(zeros.data(), 1, zeros.size(), other);
  std::fclose(other);
  EXPECT_FALSE(reader.open(path_, &error));
  // The writer replaces it (never writing through it), and a reader then opens it.
  SharedFramesWriter writer;
  ASSERT_TRUE(writer.open(path_, 2, 2, &error)) << error;
  EXPECT_TRUE(reader.open(path_, &error)) << error;
  // A file that lost its tail is refused, not read past its end.
  ASSERT_EQ(truncate(path_.c_str(), static_cast<off_t>(shared_frames_length(2, 2) - 1)), 0);
  EXPECT_FALSE(reader.open(path_, &error));
}

}  // namespace
}  // namespace aerolume
