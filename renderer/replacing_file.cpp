// Pictures written where their path points: into standard output, a FIFO or a device as
// they are, or into a temporary file beside a plain file and renamed onto it once complete.
#include "renderer/replacing_file.h"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace aerolume {

namespace {

// The temporary files open now, for the interrupt handler to remove. A slot's path is
// written before it is marked used, and it is marked free only once the file is gone or
// renamed, so the handler never reads a path being written nor misses a file.
struct TemporarySlot {
  std::atomic<bool> used{false};
  char path[PATH_MAX] = {};
};
TemporarySlot temporaries[4];
static_assert(std::atomic<bool>::is_always_lock_free, "the interrupt handler reads the flags");

int hold_temporary(const std::string& path) {
  if (path.size() >= PATH_MAX) return -1;
  for (int i = 0; i < static_cast<int>(std::size(temporaries)); ++i)
    if (!temporaries[i].used.load()) {
      std::memcpy(temporaries[i].path, path.c_str(), path.size() + 1);
      temporaries[i].used.store(true);
      return i;
    }
  return -1;
}

void release_temporary(const std::string& path) {
  for (TemporarySlot& slot : temporaries)
    if (slot.used.load() && path == slot.path) slot.used.store(false);
}

// Only async-signal-safe calls: unlink, signal, raise. The signal is blocked while its
// handler runs, so the raised one is taken, with its default action, as the handler returns.
extern "C" void on_interrupt(int signal_number) {
  for (TemporarySlot& slot : temporaries)
    if (slot.used.load()) ::unlink(slot.path);
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

// The signals that end a run, its temporary files removed first.
constexpr int interrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// The interrupts held off while a temporary file is made and recorded, so that none
// falls between the two.
class InterruptsHeld {
 public:
  InterruptsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (const int signal_number : interrupts) sigaddset(&held, signal_number);
    pthread_sigmask(SIG_BLOCK, &held, &before_);
  }
  ~InterruptsHeld() { pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;

 private:
  sigset_t before_;
};

mode_t current_umask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

std::string folder_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// The mkstemp pattern beside target: NAME.XXXXXX, with NAME shortened as far as the
// folder's longest name requires (a 250-byte name leaves no room for the suffix).
std::string temporary_pattern(const std::string& target) {
  constexpr std::string_view suffix = ".XXXXXX";
  const std::size_t slash = target.rfind('/');
  const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
  const long name_max = ::pathconf(folder_of(target).c_str(), _PC_NAME_MAX);
  const std::size_t longest = name_max > 0 ? static_cast<std::size_t>(name_max) : NAME_MAX;
  const std::size_t name_length = target.size() - name_start;
  const std::size_t kept = name_length + suffix.size() <= longest || longest <= suffix.size()
                               ? name_length
                               : longest - suffix.size();
  return target.substr(0, name_start + kept) + std::string(suffix);
}

}  // namespace

std::string path_after_links(const std::string& path) {
  std::string current = path;
  // As many links as the kernel itself follows (its ELOOP limit).
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    std::string to(PATH_MAX, '\0');
    const ssize_t length = ::readlink(current.c_str(), to.data(), to.size());
    if (length <= 0 || length >= static_cast<ssize_t>(to.size())) return current;
    to.resize(static_cast<std::size_t>(length));
    const std::size_t slash = current.rfind('/');
    current = to.front() == '/' || slash == std::string::npos ? to
                                                              : current.substr(0, slash + 1) + to;
  }
  return current;
}

bool written_directly(const std::string& path) {
  struct stat info {};
  return path == "-" ||
         (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode));
}

std::string ReplacingFile::failure(const std::string& why) const {
  return (path_ == "-" ? std::string("cannot write to standard output") : "cannot write " + path_) +
         ": " + why;
}

bool ReplacingFile::open_directly(int fd, std::string* error) {
  if (fd < 0) {
    *error = failure(std::strerror(errno));
    return false;
  }
  file_ = ::fdopen(fd, "wb");
  if (file_ == nullptr) {
    *error = failure(std::strerror(errno));
    ::close(fd);
    return false;
  }
  return true;
}

bool ReplacingFile::open(const std::string& path, std::string* error) {
  abandon();
  path_ = path;
  // Standard output through a descriptor of its own, closed at the end; fd 1 stays open.
  if (path == "-") return open_directly(::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3), error);
  struct stat info {};
  const bool exists = ::stat(path.c_str(), &info) == 0;
  if (!exists && errno != ENOENT && errno != ENOTDIR) {
    *error = failure(std::strerror(errno));  // a loop of links, a folder that cannot be read
    return false;
  }
  if (path.empty() || path.back() == '/' || (exists && S_ISDIR(info.st_mode))) {
    *error = failure("it names a folder, not a file");
    return false;
  }
  // A FIFO or a device is written into; replacing it would take it from its readers.
  if (exists && !S_ISREG(info.st_mode))
    return open_directly(::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC), error);

  target_ = path_after_links(path);
  const mode_t mode = exists ? (info.st_mode & 07777) : (0666 & ~current_umask());
  std::string temp = temporary_pattern(target_);
  {
    const InterruptsHeld held;
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
      *error = failure("no file can be created in " + folder_of(target_) + " (" +
                       std::strerror(errno) + ")");
      return false;
    }
    hold_temporary(temp);
    temp_path_ = temp;
    // mkstemp makes 0600; the picture gets the mode its file has or a new one would get.
    ::fchmod(fd, mode);
    if (!open_directly(fd, error)) {
      abandon();
      return false;
    }
  }
  return true;
}

bool ReplacingFile::commit(std::string* error) {
  if (file_ == nullptr) {
    *error = failure("the file is not open");
    return false;
  }
  const bool to_disk = !temp_path_.empty();
  const bool flushed = std::fflush(file_) == 0 && (!to_disk || ::fsync(::fileno(file_)) == 0);
  const int flush_errno = errno;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!flushed || !closed) {
    *error = failure(std::strerror(flushed ? errno : flush_errno));
    abandon();
    return false;
  }
  if (!to_disk) return true;
  if (std::rename(temp_path_.c_str(), target_.c_str()) != 0) {
    *error = failure(std::strerror(errno));
    abandon();
    return false;
  }
  release_temporary(temp_path_);
  temp_path_.clear();
  return true;
}

void ReplacingFile::abandon() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  if (!temp_path_.empty()) {
    std::remove(temp_path_.c_str());
    release_temporary(temp_path_);
  }
  temp_path_.clear();
}

void clean_up_on_signals() {
  // A file grown past the size limit (ulimit -f) is a failed write, reported as such
  // ("File too large") with the temporary file removed, not a death by SIGXFSZ.
  ::signal(SIGXFSZ, SIG_IGN);
  for (const int signal_number : interrupts) {
    struct sigaction action {};
    // A run started with the signal ignored (nohup, a background job) keeps ignoring it.
    if (::sigaction(signal_number, nullptr, &action) == 0 && action.sa_handler == SIG_IGN)
      continue;
    action = {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal_number, &action, nullptr);
  }
}

}  // namespace aerolume
