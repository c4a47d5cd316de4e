// Temporary file beside the target, renamed into place once complete.
#include "renderer/replacing_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace aerolume {

bool ReplacingFile::open(const std::string& path, std::string* error) {
  abandon();
  path_ = path;
  struct stat info {};
  if (path.empty() || path.back() == '/' ||
      (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))) {
    *error = failure("it names a folder, not a file");
    return false;
  }
  std::string temp = path + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    const std::size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    *error = failure("no file can be created in " + folder + " (" + std::strerror(errno) + ")");
    return false;
  }
  temp_path_ = temp;
  ::fchmod(fd, 0644);
  file_ = ::fdopen(fd, "wb");
  if (file_ == nullptr) {
    *error = failure(std::strerror(errno));
    ::close(fd);
    abandon();
    return false;
  }
  return true;
}

bool ReplacingFile::commit(std::string* error) {
  if (file_ == nullptr) {
    *error = failure("the file is not open");
    return false;
  }
  const bool flushed = std::fflush(file_) == 0 && ::fsync(::fileno(file_)) == 0;
  const int flush_errno = errno;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!flushed || !closed) {
    *error = failure(std::strerror(flushed ? errno : flush_errno));
    abandon();
    return false;
  }
  if (std::rename(temp_path_.c_str(), path_.c_str()) != 0) {
    *error = failure(std::strerror(errno));
    abandon();
    return false;
  }
  temp_path_.clear();
  return true;
}

void ReplacingFile::abandon() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  if (!temp_path_.empty()) std::remove(temp_path_.c_str());
  temp_path_.clear();
}

}  // namespace aerolume
