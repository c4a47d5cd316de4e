// PNG as a picture output: the run's last frame, written once the run is over.
#include <memory>
#include <utility>

#include "renderer/picture_output.h"
#include "renderer/png_io.h"
#include "renderer/render_options.h"
#include "renderer/replacing_file.h"

namespace aerolume {

namespace {

class PngOutput final : public PictureOutput {
 public:
  explicit PngOutput(int frames) : last_frame_(frames - 1) {}
  bool open(const std::string& path, std::string* error) override {
    return file_.open(path, error);
  }
  bool keeps(int frame) const override { return frame == last_frame_; }
  bool add_frame(RgbImage frame, std::string*) override {
    image_ = std::move(frame);
    return true;
  }
  bool finish(std::string* error) override { return write_png(file_, image_, error); }

 private:
  ReplacingFile file_;
  RgbImage image_;
  int last_frame_;
};

}  // namespace

std::unique_ptr<PictureOutput> make_png_output(const RenderOptions& options) {
  return std::make_unique<PngOutput>(options.frames);
}

}  // namespace aerolume
