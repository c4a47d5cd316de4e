// The table of picture formats and the rules on a picture's name that it holds.
#include "renderer/picture_formats.h"

#include <sys/stat.h>

#include <array>
#include <cctype>
#include <string_view>

#include "renderer/replacing_file.h"

namespace aerolume {

// Each defined in its format's own file.
std::unique_ptr<PictureOutput> make_png_output(const RenderOptions& options);
std::unique_ptr<PictureOutput> make_webp_output(const RenderOptions& options);
std::string unfit_for_webp(int width, int height);

namespace {

constexpr std::array formats = {
    PictureFormat{"--output", &RenderOptions::output, ".png", "a PNG picture",
                  "Write the last frame to this PNG file ('-': stdout)", nullptr,
                  make_png_output},
    PictureFormat{"--animation", &RenderOptions::animation, ".webp", "an animated WebP",
                  "Write the frames to this file as an animated WebP, 25 frames a second "
                  "('-': stdout)",
                  unfit_for_webp, make_webp_output},
};

bool ends_with_extension(const std::string& path, std::string_view extension) {
  if (path.size() < extension.size()) return false;
  for (std::size_t i = 0; i < extension.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(path[path.size() - extension.size() + i])) !=
        extension[i])
      return false;
  return true;
}

// A picture's name says its format (standard output, FIFOs, devices and folders aside;
// for a link, its own name or its file's will do); where it ends in another format's
// extension, the refusal names the option for that one.
std::string misnamed_picture(const RenderOptions& o) {
  for (const PictureFormat& f : formats) {
    const std::string& path = o.*f.path;
    if (path.empty() || written_directly(path) || ends_with_extension(path, f.extension) ||
        ends_with_extension(path_after_links(path), f.extension))
      continue;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) continue;  // refused later
    std::string problem = std::string(f.option) + ": '" + path + "' does not end in " + f.extension;
    for (const PictureFormat& other : formats)
      if (&other != &f && ends_with_extension(path, other.extension))
        return problem + " (" + other.what + " is written by " + other.option + ")";
    return problem;
  }
  return std::string();
}

}  // namespace

std::span<const PictureFormat> picture_formats() { return formats; }

std::string picture_problem(const RenderOptions& o) {
  const std::string misnamed = misnamed_picture(o);
  if (!misnamed.empty()) return misnamed;
  for (const PictureFormat& f : formats) {
    if (f.unfit == nullptr || (o.*f.path).empty()) continue;
    const std::string why = f.unfit(o.width, o.height);
    if (!why.empty()) return std::string(f.option) + ": " + why;
  }
  return std::string();
}

}  // namespace aerolume
