// What the fuzz targets share: a scratch folder of the process's own, files written into
// it, the program folder of a generated log, generated logs, and how a target reports a
// broken property (an abort, which libFuzzer records with the input that caused it).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mizuto {
struct App;
}

namespace mizuto::fuzz {

// A folder for this process alone (in /dev/shm when there is one: the targets write a
// file per input), ending in '/'. Removed when the process exits normally.
const std::string& ScratchDir();

// Replaces the file's contents; aborts when it cannot, since an input that never reached
// the program would pass as tested.
void WriteFile(const std::string& path, std::string_view bytes);

// What a settings or list file is made for an input: 'r' a regular file holding its part of
// the input, 'f' a FIFO nobody writes to, 'z' a file over the program's size limit (its part
// of the input first, then a hole), 'd' a folder.
// An input that starts with 0xFF 0xFF and then `count` bytes chooses the kinds of its
// `count` files by those bytes (any byte but 'f', 'z', 'd' is 'r'); they are taken off the
// input. Any other input makes every file a regular one.
std::string TakeFileKinds(std::string_view* input, std::size_t count);
// Puts a file of `kind` at `path`, replacing whatever is there.
void PlaceFile(const std::string& path, char kind, std::string_view bytes);

// The settings and list files that the generator writes for `seed`, in a fresh folder
// `name` under the scratch folder; returns the folder, ending in '/'.
// With `allChecked` every skill and item is checked in Mizuto.ini (one column each).
std::string MakeProgramFolder(std::string_view name, std::uint64_t seed, bool allChecked);

// A generated log, as mizuto_loggen --seed SEED --battles BATTLES --players PLAYERS
// [--open-battle] writes it (the list files of MakeProgramFolder(seed) go with it).
std::string GenerateLog(std::uint64_t seed, int battles, int players, bool openBattle);

// Prints the message and aborts.
[[noreturn]] void Fail(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The battle list, the tally table and the head-to-head grid against their own sizes:
// rows parallel to their selections, one battle list row per battle, every tally row as
// wide as the header, every grid cell present. Fails naming the first that is not.
void CheckViewsWithinModels(const App& app);

// The CSV text (records ended by CR LF) read back field by field: the header, then one
// record per tally row in the order shown, each field as the table shows it. Fails naming
// the first record that is not.
void CheckCsvReadsBack(const App& app, std::string_view csv);

// Turns on every switch of the transcript, so that every kind of line is drawn.
void ShowEveryDetail(App& app);

}  // namespace mizuto::fuzz
