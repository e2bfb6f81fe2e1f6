// The start-up sequence of the program, as far as it concerns the core: settings, result
// views, reference lists, check marks, view switches, tally columns, caption. The window
// adds its geometry and panes around it; the report runs it as it is.
#pragma once

namespace mizuto {

struct App;

// Runs start-up for app.ProgramDir (set by the caller).
void StartUp(App& app);

}  // namespace mizuto
