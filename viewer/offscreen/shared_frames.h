// Frames handed to another process through a file that both map: the program draws each
// frame offscreen and publishes it here; a desktop's wallpaper plugin maps the same file
// and shows the newest. One writer, any number of readers, no locks and no messages: a
// reader never waits for the writer and never shows a frame half written.
//
// The file: a header, then two pixel buffers. Frame n (1, 2, ...) goes to buffer n % 2,
// so the buffer a reader is copying is not the one the writer fills next. Each buffer
// carries a stamp, a sequence lock: odd while a frame is written into it (2n - 1), even
// once frame n is complete (2n). The header's `newest` names the newest complete frame.
// A reader copies a buffer's pixels between two reads of its stamp and keeps the copy
// only when both read 2n: a writer that came round to the same buffer meanwhile (the
// reader was slower than two frames) changes the stamp, and the copy is dropped.
//
// The one word the other way: the reader says whether anybody sees its picture (`seen`:
// a window covers the screen, the session is locked), and the writer draws no frame
// into a file whose picture nobody sees. The file is made saying seen.
//
// Pixels are 32 bits, B, G, R, X in memory (GL_BGRA read back on a little-endian
// machine: Qt's RGB32), rows from the bottom of the picture up, as GL reads them.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace aerolume {

constexpr char shared_frames_magic[8] = {'A', 'E', 'R', 'O', 'F', 'R', 'M', '2'};

// Whether the reader's picture is seen, or why not; kept in the file as a 32-bit word.
enum class FramesSeen : std::uint32_t {
  seen = 0,
  covered = 1,  // a maximized or full-screen window covers it
  locked = 2,   // the session is locked: the lock screen covers it
  hidden = 3,   // not shown at all (its window hidden, or the picture not visible)
};

// The header at the start of the file; the buffers follow at their offsets, each
// preceded by its stamp.
struct SharedFramesHeader {
  char magic[8];
  std::uint32_t width;
  std::uint32_t height;
  std::uint32_t stride;            // bytes a row
  std::uint32_t writer_pid;        // the drawing process, for a reader to match
  std::uint64_t buffer_offset[2];  // where each buffer's stamp lies; its pixels follow
  std::atomic<std::uint64_t> newest;  // the newest complete frame; 0: none yet
  std::atomic<std::uint32_t> seen;    // a FramesSeen, written by the reader
  std::atomic<std::uint32_t> retired;  // 1: the writer writes here no more
};

struct SharedFrameBuffer {
  std::atomic<std::uint64_t> stamp;  // 2n - 1 while frame n is written, 2n once complete
  std::uint64_t reserved;            // keeps the pixels 16-byte aligned
};

static_assert(std::atomic<std::uint64_t>::is_always_lock_free,
              "the stamps are shared between processes: they must be lock-free");

// The file's length for a picture of width x height.
std::size_t shared_frames_length(int width, int height);

// The program's side: makes the file (replacing any there), maps it, and publishes
// frames. Nothing is left mapped or open after the destructor; the file stays for the
// reader, whose owner removes it.
class SharedFramesWriter {
 public:
  SharedFramesWriter() = default;
  ~SharedFramesWriter();
  SharedFramesWriter(const SharedFramesWriter&) = delete;
  SharedFramesWriter& operator=(const SharedFramesWriter&) = delete;

  // False with the reason in *error (one line) when the file cannot be made or mapped.
  bool open(const std::string& path, int width, int height, std::string* error);
  int width() const { return width_; }
  int height() const { return height_; }
  int stride() const { return stride_; }

  // The buffer for the next frame, stamped as being written: fill it (height rows of
  // stride bytes), then publish(). Between the two, readers of the newest frame read the
  // other buffer.
  std::uint8_t* begin_frame();
  // The frame filled since begin_frame() is complete and the newest.
  void publish();
  // What the reader last said of its picture (seen until it says otherwise); a word
  // this program does not know reads as hidden.
  FramesSeen seen() const;
  // No frame comes into this file any more (its path goes to a new file, or to none):
  // its reader lets it go.
  void retire();

 private:
  SharedFramesHeader* header() const { return static_cast<SharedFramesHeader*>(map_); }
  SharedFrameBuffer* buffer(std::uint64_t frame) const;

  void* map_ = nullptr;
  std::size_t length_ = 0;
  int width_ = 0, height_ = 0, stride_ = 0;
  std::uint64_t writing_ = 0;  // the frame begun and not yet published; 0: none
};

// The plugin's side: maps a file the writer made, copies out the newest frame, and says
// whether it is seen.
class SharedFramesReader {
 public:
  SharedFramesReader() = default;
  ~SharedFramesReader();
  SharedFramesReader(const SharedFramesReader&) = delete;
  SharedFramesReader& operator=(const SharedFramesReader&) = delete;

  // False with the reason in *error while there is no such file, or it is not a frames
  // file (a wrong magic, a length that does not hold the buffers its header names).
  bool open(const std::string& path, std::string* error);
  bool is_open() const { return map_ != nullptr; }
  void close();
  int width() const { return width_; }
  int height() const { return height_; }
  int stride() const { return stride_; }
  std::uint32_t writer_pid() const;
  // Tells the writer whether the picture is seen.
  void set_seen(FramesSeen seen);
  // Whether the writer writes into this file no more: it is to be opened again.
  bool retired() const;

  // A read in three steps, a sequence lock's: the ticket of the newest complete frame
  // when it is newer than the one last copied (none otherwise, or while its buffer is
  // already being written again); its pixels copied out (height x stride bytes); then
  // whether the copy is whole, that is, the writer did not come back to that buffer
  // meanwhile. Only a whole copy counts as copied.
  struct Ticket {
    std::uint64_t frame = 0;
    std::uint64_t offset = 0;  // the buffer's stamp, in the file
  };
  std::optional<Ticket> newest_ticket() const;
  // Into memory of the caller's (height x stride bytes), such as a picture's.
  void copy_pixels(const Ticket& ticket, std::uint8_t* pixels) const;
  bool copy_was_whole(const Ticket& ticket);
  std::uint64_t frame_copied() const { return copied_; }

 private:
  SharedFramesHeader* header() const { return static_cast<SharedFramesHeader*>(map_); }
  const SharedFrameBuffer* buffer_at(std::uint64_t offset) const;

  void* map_ = nullptr;
  std::size_t length_ = 0;
  int width_ = 0, height_ = 0, stride_ = 0;
  std::uint64_t copied_ = 0;
};

}  // namespace aerolume
