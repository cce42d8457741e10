# Where the libraries come from. On Debian: its packages, and libjpeg-turbo/libwebp built
# from Debian's sources by scripts/deps.sh. On Windows (MSYS2, vcpkg): the usual packages.

if(WIN32)
  set(ZLIB_USE_STATIC_LIBS ON)  # no zlib1.dll beside the program
endif()
find_package(ZLIB REQUIRED)

# nlohmann-json: a package config where one exists, else the header folder.
find_package(nlohmann_json 3 QUIET CONFIG)
add_library(vantoru::json INTERFACE IMPORTED)
if(nlohmann_json_FOUND)
  target_link_libraries(vantoru::json INTERFACE nlohmann_json::nlohmann_json)
else()
  # The cross build must not see /usr/include (glibc headers), so the one folder is copied.
  set(VANTORU_JSON_INCLUDE "/usr/include" CACHE PATH "Folder holding nlohmann/json.hpp")
  set(_json_dir ${CMAKE_BINARY_DIR}/third_party/include)
  file(COPY ${VANTORU_JSON_INCLUDE}/nlohmann DESTINATION ${_json_dir})
  target_include_directories(vantoru::json SYSTEM INTERFACE ${_json_dir})
endif()

add_library(vantoru::jpeg INTERFACE IMPORTED)
if(WIN32)
  find_package(libjpeg-turbo CONFIG QUIET)
  if(TARGET libjpeg-turbo::jpeg-static)
    target_link_libraries(vantoru::jpeg INTERFACE libjpeg-turbo::jpeg-static)
  else()
    find_package(JPEG REQUIRED)
    target_link_libraries(vantoru::jpeg INTERFACE JPEG::JPEG)
  endif()
  set(_deps "$ENV{VANTORU_DEPS}")
  if(NOT _deps)
    set(_deps ${CMAKE_CURRENT_LIST_DIR}/../.deps)
  endif()
  set(VANTORU_WEBP_DLL "${_deps}/webp/libwebp.dll" CACHE FILEPATH "libwebp.dll to put beside the program")
  # The screen recording's encoder and the note of the Debian sources it was built from.
  set(VANTORU_FFMPEG_DIR "${_deps}/ffmpeg/current" CACHE PATH "Folder with ffmpeg.exe to put beside the program")
else()
  find_package(JPEG REQUIRED)
  target_link_libraries(vantoru::jpeg INTERFACE JPEG::JPEG)
endif()
