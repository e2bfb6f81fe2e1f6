#include "web/page_text.h"

#include <stdexcept>

#include "web/results_json.h"
#include "web/web_assets.h"

namespace mizuto::web {
namespace {

constexpr std::string_view kHeadMark = "<!--mizuto:head-->";
constexpr std::string_view kScriptsMark = "<!--mizuto:scripts-->";

std::string_view Asset(std::string_view name) {
  const auto bytes = FindAsset(name);
  // The build embeds every file named here; a missing one is a broken build.
  if (!bytes) throw std::logic_error("the page's file " + std::string(name) + " is not embedded");
  return *bytes;
}

// The template with its two marks replaced.
std::string Fill(std::string_view name, std::string_view head, std::string_view scripts) {
  std::string page(Asset(name));
  for (const auto& [mark, text] : {std::pair{kHeadMark, head}, std::pair{kScriptsMark, scripts}}) {
    const std::size_t at = page.find(mark);
    if (at == std::string::npos) continue;
    page.replace(at, mark.size(), text);
  }
  return page;
}

// A script written inside <script>: "</script" in a string of it would end the block early.
std::string InlineScript(std::string_view script) {
  std::string text(script);
  for (std::size_t at = 0; (at = text.find("</", at)) != std::string::npos; at += 3) text.replace(at, 2, "<\\/");
  return "<script>" + text + "</script>\n";
}

}  // namespace

std::string HtmlEscaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string ServedPage(std::string_view token, std::string_view resultsJson) {
  const std::string head = "<meta name=\"mizuto-token\" content=\"" + HtmlEscaped(token) +
                           "\">\n<link rel=\"stylesheet\" href=\"/page.css\">";
  // A data block, not a script: the page's policy runs no inline script.
  const std::string scripts = "<script type=\"application/json\" id=\"mizuto-initial\">" + ScriptSafe(resultsJson) +
                              "</script>\n<script src=\"/chart.min.js\"></script>\n<script src=\"/page.js\"></script>";
  return Fill("page.html", head, scripts);
}

std::string SelfContainedPage(std::string_view resultsJson, std::string_view transcriptsJson) {
  const std::string head = "<style>\n" + std::string(Asset("page.css")) + "</style>";
  std::string scripts = "<script type=\"application/json\" id=\"mizuto-results\">" + ScriptSafe(resultsJson) +
                        "</script>\n<script type=\"application/json\" id=\"mizuto-transcripts\">" +
                        ScriptSafe(transcriptsJson) + "</script>\n";
  scripts += InlineScript(Asset("chart.min.js"));
  scripts += InlineScript(Asset("page.js"));
  return Fill("page.html", head, scripts);
}

std::string OverlayPage() { return Fill("overlay.html", "", "<script src=\"/overlay.js\"></script>"); }

}  // namespace mizuto::web
