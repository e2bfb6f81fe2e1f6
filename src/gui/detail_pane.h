// The battle detail pane: the transcript lines that the core rendered, each in its colour.
#pragma once

#include <vector>

#include "app/view_models.h"

class QTextEdit;

namespace mizuto {

// Look and behaviour of the pane: read-only, white on black, no frame, a vertical scroll
// bar, the proportional Gothic at 12 pixels, long lines wrapped at the pane's width.
void SetUpDetailPane(QTextEdit* pane);

// Replaces the pane's text with the lines: one paragraph per line, each in its colour
// (0xRRGGBB) and weight. The texts are shown exactly as they are ('<', '&', runs of spaces).
// The pane gets a new document each time: take pane->document() afresh after a fill.
void FillDetailPane(QTextEdit* pane, const std::vector<DetailLine>& lines);

}  // namespace mizuto
