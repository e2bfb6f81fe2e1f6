// The page's files carried inside the program (cmake/embed_files.cmake makes them part of
// the build): the server and the written page read them from here, never from disk.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace mizuto::web {

struct EmbeddedFile {
  std::string_view Name;   // "page.js", "chart.min.js", ...
  std::string_view Bytes;
};

// Every embedded file (the generated source defines it).
const std::vector<EmbeddedFile>& EmbeddedFiles();

// The file of that exact name; none for any other name (a path, "..", an encoded name).
std::optional<std::string_view> FindAsset(std::string_view name);

// The media type the server sends for an embedded file's name.
const char* MediaType(std::string_view name);

}  // namespace mizuto::web
