// The page as the server sends it, and as one self-contained file: the same HTML, styles
// and script, with the styles and scripts either linked from the server or written inline
// beside the log's data.
#pragma once

#include <string>
#include <string_view>

namespace mizuto::web {

// The served page: it links its styles and scripts from the server and carries the run's
// token, which the page sends with every request that changes the state, and the results
// as they are now (ResultsJson), so the first picture needs no second request.
std::string ServedPage(std::string_view token, std::string_view resultsJson);

// The page for a file: styles, the chart library, the script and `resultsJson` /
// `transcriptsJson` (ResultsJson, AllTranscriptsJson) inline, so nothing is fetched.
std::string SelfContainedPage(std::string_view resultsJson, std::string_view transcriptsJson);

// The overlay for a streaming program's browser source.
std::string OverlayPage();

// `text` made safe for an HTML attribute or text node.
std::string HtmlEscaped(std::string_view text);

}  // namespace mizuto::web
