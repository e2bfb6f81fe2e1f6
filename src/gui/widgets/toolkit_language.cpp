#include "gui/widgets/toolkit_language.h"

#include <QLibraryInfo>
#include <QTranslator>

namespace mizuto {

bool LoadToolkitJapanese(QTranslator& translator) {
  return translator.load(QStringLiteral("qtbase_ja"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

}  // namespace mizuto
