// The frames file: made, mapped and written by the program; mapped and read by a plugin.
#include "viewer/offscreen/shared_frames.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace aerolume {

namespace {

constexpr std::size_t cache_line = 64;

std::size_t round_up(std::size_t n) { return (n + cache_line - 1) / cache_line * cache_line; }

std::size_t buffer_length(int width, int height) {
  return sizeof(SharedFrameBuffer) + static_cast<std::size_t>(width) * 4 * height;
}

std::size_t first_buffer_offset() { return round_up(sizeof(SharedFramesHeader)); }

std::string failure(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

std::size_t shared_frames_length(int width, int height) {
  return first_buffer_offset() + 2 * round_up(buffer_length(width, height));
}

// --- The writer ---

SharedFramesWriter::~SharedFramesWriter() {
  if (map_ != nullptr) munmap(map_, length_);
}

bool SharedFramesWriter::open(const std::string& path, int width, int height, std::string* error) {
  // A file left by an earlier run (or anything else of that name) is replaced, never
  // followed: a reader that still maps the old one keeps it until it lets go.
  if (unlink(path.c_str()) != 0 && errno != ENOENT) {
    *error = failure("cannot replace", path);
    return false;
  }
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    *error = failure("cannot make", path);
    return false;
  }
  const std::size_t length = shared_frames_length(width, height);
  if (ftruncate(fd, static_cast<off_t>(length)) != 0) {
    *error = failure("cannot size", path);
    close(fd);
    return false;
  }
  void* map = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  if (map == MAP_FAILED) {
    *error = failure("cannot map", path);
    return false;
  }
  map_ = map;
  length_ = length;
  width_ = width;
  height_ = height;
  stride_ = width * 4;
  // The file is fresh (all zero): the buffers' stamps read 0, no frame; the magic goes
  // last, so that a reader never takes a header half written for a whole one.
  auto* h = new (map_) SharedFramesHeader{};
  h->width = static_cast<std::uint32_t>(width);
  h->height = static_cast<std::uint32_t>(height);
  h->stride = static_cast<std::uint32_t>(stride_);
  h->writer_pid = static_cast<std::uint32_t>(getpid());
  h->buffer_offset[0] = first_buffer_offset();
  h->buffer_offset[1] = first_buffer_offset() + round_up(buffer_length(width, height));
  for (std::uint64_t offset : h->buffer_offset)
    new (static_cast<char*>(map_) + offset) SharedFrameBuffer{};
  std::atomic_thread_fence(std::memory_order_release);
  std::memcpy(h->magic, shared_frames_magic, sizeof h->magic);
  return true;
}

SharedFrameBuffer* SharedFramesWriter::buffer(std::uint64_t frame) const {
  return reinterpret_cast<SharedFrameBuffer*>(static_cast<char*>(map_) +
                                              header()->buffer_offset[frame % 2]);
}

std::uint8_t* SharedFramesWriter::begin_frame() {
  writing_ = header()->newest.load(std::memory_order_relaxed) + 1;
  SharedFrameBuffer* b = buffer(writing_);
  b->stamp.store(2 * writing_ - 1, std::memory_order_relaxed);
  // The odd stamp is seen before any pixel of the new frame.
  std::atomic_thread_fence(std::memory_order_release);
  return reinterpret_cast<std::uint8_t*>(b + 1);
}

void SharedFramesWriter::publish() {
  if (writing_ == 0) return;
  buffer(writing_)->stamp.store(2 * writing_, std::memory_order_release);
  header()->newest.store(writing_, std::memory_order_release);
  writing_ = 0;
}

FramesSeen SharedFramesWriter::seen() const {
  if (map_ == nullptr) return FramesSeen::seen;
  const std::uint32_t word = header()->seen.load(std::memory_order_relaxed);
  return word <= static_cast<std::uint32_t>(FramesSeen::hidden) ? static_cast<FramesSeen>(word)
                                                               : FramesSeen::hidden;
}

void SharedFramesWriter::retire() {
  if (map_ != nullptr) header()->retired.store(1, std::memory_order_release);
}

// --- The reader ---

SharedFramesReader::~SharedFramesReader() { close(); }

void SharedFramesReader::close() {
  if (map_ != nullptr) munmap(map_, length_);
  map_ = nullptr;
  length_ = 0;
  copied_ = 0;
}

bool SharedFramesReader::open(const std::string& path, std::string* error) {
  close();
  const int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    *error = failure("cannot open", path);
    return false;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || static_cast<std::size_t>(st.st_size) < sizeof(SharedFramesHeader)) {
    *error = path + " is not a frames file (too short)";
    ::close(fd);
    return false;
  }
  const auto length = static_cast<std::size_t>(st.st_size);
  void* map = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  ::close(fd);
  if (map == MAP_FAILED) {
    *error = failure("cannot map", path);
    return false;
  }
  const auto* h = static_cast<const SharedFramesHeader*>(map);
  std::atomic_thread_fence(std::memory_order_acquire);
  const bool ours = std::memcmp(h->magic, shared_frames_magic, sizeof h->magic) == 0;
  const std::size_t need =
      ours ? shared_frames_length(static_cast<int>(h->width), static_cast<int>(h->height)) : 0;
  if (!ours || h->width == 0 || h->height == 0 || h->stride != h->width * 4 || need > length ||
      h->buffer_offset[0] != first_buffer_offset() ||
      h->buffer_offset[1] + round_up(buffer_length(static_cast<int>(h->width),
                                                   static_cast<int>(h->height))) > length) {
    *error = path + " is not a frames file (or not yet one)";
    munmap(map, length);
    return false;
  }
  map_ = map;
  length_ = length;
  width_ = static_cast<int>(h->width);
  height_ = static_cast<int>(h->height);
  stride_ = static_cast<int>(h->stride);
  copied_ = 0;
  return true;
}

std::uint32_t SharedFramesReader::writer_pid() const {
  return map_ != nullptr ? header()->writer_pid : 0;
}

void SharedFramesReader::set_seen(FramesSeen seen) {
  if (map_ != nullptr)
    header()->seen.store(static_cast<std::uint32_t>(seen), std::memory_order_relaxed);
}

bool SharedFramesReader::retired() const {
  return map_ != nullptr && header()->retired.load(std::memory_order_acquire) != 0;
}

const SharedFrameBuffer* SharedFramesReader::buffer_at(std::uint64_t offset) const {
  return reinterpret_cast<const SharedFrameBuffer*>(static_cast<const char*>(map_) + offset);
}

std::optional<SharedFramesReader::Ticket> SharedFramesReader::newest_ticket() const {
  if (map_ == nullptr) return std::nullopt;
  const std::uint64_t frame = header()->newest.load(std::memory_order_acquire);
  if (frame == 0 || frame == copied_) return std::nullopt;
  const std::uint64_t offset = header()->buffer_offset[frame % 2];
  // The stamp read here is the one copy_was_whole() compares with: 2 x frame, or the
  // writer is already at that buffer again.
  if (buffer_at(offset)->stamp.load(std::memory_order_acquire) != 2 * frame) return std::nullopt;
  return Ticket{frame, offset};
}

void SharedFramesReader::copy_pixels(const Ticket& ticket, std::uint8_t* pixels) const {
  std::memcpy(pixels, buffer_at(ticket.offset) + 1, static_cast<std::size_t>(stride_) * height_);
}

bool SharedFramesReader::copy_was_whole(const Ticket& ticket) {
  // The copy's reads come before the stamp's second read.
  std::atomic_thread_fence(std::memory_order_acquire);
  if (buffer_at(ticket.offset)->stamp.load(std::memory_order_relaxed) != 2 * ticket.frame)
    return false;
  copied_ = ticket.frame;
  return true;
}

}  // namespace aerolume
