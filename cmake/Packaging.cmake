# Everything beyond the programs and their tests: the animated WebP writer, and (below)
# what is installed and how the Debian package is made. Included at the end of the top
# CMakeLists.txt, once every target exists.
include(${CMAKE_CURRENT_LIST_DIR}/WebpAnimation.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/Docs.cmake)
