#include "history/history_store.h"

namespace mizuto {

HistoryOpen OpenHistoryStore(const std::string& path) {
  HistoryOpen open;
  open.Error = HistoryError{HistoryFailure::CannotOpen, path, "not built yet"};
  return open;
}

bool HistoryBuilt() { return true; }

}  // namespace mizuto
