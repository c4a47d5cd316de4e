// Extension strings, as GLX and EGL give them: names separated by spaces.
#pragma once

namespace aerolume {

// Whether the extension string names the extension: whole names only, so that
// EGL_EXT_buffer_age is not found in EGL_EXT_buffer_age_query.
bool names_extension(const char* extensions, const char* name);

}  // namespace aerolume
