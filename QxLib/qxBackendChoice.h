// Choosing one back end of a layer (the device layer, the window system,
// the sound output) from the table that lists the layer's back ends in
// preference order: the one the user named on the command line or in one
// environment variable read at start-up, else the first that can run on
// this machine. Each layer keeps its own table beside its abstract class;
// this is the choice they share.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// What every back end of a table tells about itself.
struct TBackendInfo {
  // Lower case, as the user writes it ("gl", "null").
  const char* name;
  // One line for usage texts.
  const char* description;
  // Whether the back end can run here (its library loads, a display
  // exists); null when it always can. May be slow the first time; the
  // choice calls it only for back ends it considers.
  bool (*available)();
};

// The back end chosen among `table`: the one named `requested` (compared
// without regard to case) when that is not empty, else the first one
// available. Returns its index; -1 with `error` set when the name is
// unknown, the named back end is not available here, or none is. `layer`
// names the layer in the messages ("engine", "window system", "audio").
int ChooseBackend(std::span<const TBackendInfo* const> table, std::string_view requested, std::string_view layer,
                  std::string& error);

// The table's names joined by "|" ("gl|null"), for usage texts.
std::string BackendNames(std::span<const TBackendInfo* const> table);

// The back end the user asked for: `commandLineChoice` when given (the
// item of a command-line option such as "-engine gl"), else the value of
// the environment variable `variable` when set, else "" (choose by
// availability). Call it once at start-up and pass the result on: back
// ends themselves read no environment.
std::string RequestedBackend(const std::optional<std::string>& commandLineChoice, const char* variable);

// ChooseBackend over a table of driver records that hold their
// TBackendInfo as the member `info`; null with `error` set.
template <class TDriver>
const TDriver* ChooseDriver(std::span<const TDriver* const> drivers, std::string_view requested, std::string_view layer,
                            std::string& error) {
  std::vector<const TBackendInfo*> infos;
  infos.reserve(drivers.size());
  for (const TDriver* driver : drivers) {
    infos.push_back(&driver->info);
  }
  const int index = ChooseBackend(infos, requested, layer, error);
  return index < 0 ? nullptr : drivers[static_cast<size_t>(index)];
}

// BackendNames over a table of driver records.
template <class TDriver>
std::string DriverNames(std::span<const TDriver* const> drivers) {
  std::vector<const TBackendInfo*> infos;
  infos.reserve(drivers.size());
  for (const TDriver* driver : drivers) {
    infos.push_back(&driver->info);
  }
  return BackendNames(infos);
}

} // namespace qx
