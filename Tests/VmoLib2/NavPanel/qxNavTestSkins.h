// Small in-memory skins for the navigation panel's tests: pictures of one
// colour each and definition texts, handed to the panel through its hooks.
#pragma once

#include "VmoLib2/NavPanel/qxNavPanel.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qx::test {

inline std::unique_ptr<TBitmap> Solid(int width, int height, TBgra color) {
  auto bitmap = std::make_unique<TBitmap>(width, height, TPixelFormat::Bgra32);
  bitmap->Fill(color);
  return bitmap;
}

// The package the panel reads from, and what the panel reported.
struct TNavTestShow {
  std::map<std::string, std::string> Texts;
  std::map<std::string, std::shared_ptr<TBitmap>> Pictures;
  bool Playing = false;
  std::vector<double> Volumes;
  std::vector<int64_t> Times;
  std::vector<T3DRect> Changes;
  int PictureLoads = 0;

  void AddPicture(const std::string& name, std::unique_ptr<TBitmap> picture) { Pictures[name] = std::move(picture); }

  TNavPanelHooks Hooks() {
    TNavPanelHooks hooks;
    hooks.LoadPicture = [this](const std::string& name) -> std::unique_ptr<TBitmap> {
      ++PictureLoads;
      const auto found = Pictures.find(name);
      return found == Pictures.end() ? nullptr : std::make_unique<TBitmap>(found->second->Clone());
    };
    hooks.LoadText = [this](const std::string& name) -> std::optional<std::string> {
      const auto found = Texts.find(name);
      return found == Texts.end() ? std::nullopt : std::optional<std::string>(found->second);
    };
    hooks.IsPlaying = [this] { return Playing; };
    hooks.SetVolume = [this](double volume) { Volumes.push_back(volume); };
    hooks.GoToTime = [this](int64_t ms) { Times.push_back(ms); };
    hooks.PictureChanged = [this](const T3DRect& changed) { Changes.push_back(changed); };
    return hooks;
  }
};

} // namespace qx::test
