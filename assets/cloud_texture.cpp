// The cloud texture object: created once at start-up, refilled whenever the clouds are
// generated anew. cloud_texture holds its name for the dome to bind.
#include <GL/gl.h>

#include "assets/clouds.h"
#include "core/state.h"

namespace aerolume {

void create_cloud_texture() {
  glGenTextures(1, &cloud_texture);
  generate_cloud_texture();
}

void generate_cloud_texture() {
  compute_cloud_pixels();
  glBindTexture(GL_TEXTURE_2D, cloud_texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, cloud_size, cloud_size, 0, GL_RGB, GL_FLOAT,
               cloud_pixels);
}

}  // namespace aerolume
