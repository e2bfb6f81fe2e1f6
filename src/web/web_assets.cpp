#include "web/web_assets.h"

namespace mizuto::web {

std::optional<std::string_view> FindAsset(std::string_view name) {
  for (const EmbeddedFile& f : EmbeddedFiles()) {
    if (f.Name == name) return f.Bytes;
  }
  return std::nullopt;
}

const char* MediaType(std::string_view name) {
  if (name.ends_with(".js")) return "text/javascript; charset=utf-8";
  if (name.ends_with(".css")) return "text/css; charset=utf-8";
  if (name.ends_with(".html")) return "text/html; charset=utf-8";
  return "application/octet-stream";
}

}  // namespace mizuto::web
