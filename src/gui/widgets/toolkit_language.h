// The toolkit's own texts (the buttons of message boxes, the file and folder choosers, the
// names of keys) in Japanese, as the rest of the program speaks, whatever the system's
// language is.
#pragma once

class QTranslator;

namespace mizuto {

// Loads the toolkit's Japanese translations (qtbase_ja.qm from the toolkit's translations
// folder) into `translator`; false when they are not installed. The caller installs it.
bool LoadToolkitJapanese(QTranslator& translator);

}  // namespace mizuto
