// The history of a build without SQLite (the Windows cross build): there is none, and every
// attempt to open it says so.
#include "history/history_store.h"

namespace mizuto {

HistoryOpen OpenHistoryStore(const std::string& path) {
  HistoryOpen open;
  open.Error = HistoryError{HistoryFailure::NotAvailable, path, {}};
  return open;
}

bool HistoryBuilt() { return false; }

}  // namespace mizuto
