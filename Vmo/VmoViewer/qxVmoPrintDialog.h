// The print dialog of the print action: it prints the captured frame (or
// the slide's main picture) on one page, or saves it to a file. This unit
// holds what the dialog decides (its texts, which picture, where it goes on
// the page, the proposed file and the bytes written); the window system's
// back end shows it and does the printing and the choosing of the file.
#pragma once

#include "QxLib/Graphics/qxBitmap.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qx {

class TFileAccessor;
class TIniSection;
class TIniStorage;

struct TPrintTexts {
  std::string Caption = "Print";
  std::string PrintButton = "Print";
  std::string SaveButton = "Save";
  std::string OnlyMainImage = "Only Main Image";
  std::string ChangePrinter = "Change Printer";
  // The save button is shown only when the project allows it
  // ([main] "CanRestore").
  bool CanSave = false;
};

TPrintTexts ReadPrintTexts(const TIniSection* main);

// The picture provider of the dialog: the show, the captured frame and the
// index of the slide on screen.
class TCallBackClass {
public:
  enum TMode : int {
    pmMainImage = 0,     // the slide's main picture, decoded
    pmFrame = 1,         // the captured frame
    pmMainImageFile = 2, // the main picture's file (JPEG as it is, else BMP)
  };

  // Borrows the accessor and the project (the current show's), owns the
  // frame.
  TCallBackClass(TFileAccessor* accessor, const TIniStorage* project, std::unique_ptr<TBitmap> frame, int slideIndex);
  ~TCallBackClass();

  int SlideIndex() const { return m_slideIndex; }
  // The slide's main picture: [slide<index + 1>] "picture"; empty when none.
  std::string MainImageName() const;
  // The captured frame, or null.
  const TBitmap* Frame() const { return m_frame.get(); }

  // Fills `picture` (modes 0 and 1) or `data` and `fileName` (mode 2: the
  // file's bytes, a name ending ".bmp" when it was converted). False when
  // there is nothing to give: no name, no file, no picture.
  bool Request(int mode, std::string& fileName, std::string* data, TBitmap* picture) const;

private:
  TFileAccessor* m_accessor;
  const TIniStorage* m_project;
  std::unique_ptr<TBitmap> m_frame;
  int m_slideIndex;
};

// Where a picture goes on a printed page.
struct TPagePlacement {
  bool Landscape = false;
  // Within the printable area of the page (its width and height as given).
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Width = 0;
  int32_t Height = 0;
};

// The page orientation of a picture: landscape when it is wider than high.
bool PrintLandscape(int32_t pictureWidth, int32_t pictureHeight);
// The picture scaled into the printable area keeping its proportions and
// centred, with integer multiply-then-divide as the printer's canvas does.
TPagePlacement PlaceOnPage(int32_t pictureWidth, int32_t pictureHeight, int32_t pageWidth, int32_t pageHeight);

// A file the save button proposes.
struct TSaveProposal {
  std::string FileName;
  // Without the leading point; the first one is the default.
  std::vector<std::string> Extensions;
  // The main picture's file as it is (when Data is set), else the frame.
  std::optional<std::string> Data;
};

// The file a save goes to: the chosen path, with the proposal's first
// extension added when the path has none.
std::string SavePath(const TSaveProposal& proposal, const std::string& chosen);

// The picture formats the frame can be saved in, by extension.
enum class TSaveFormat { Bmp, Png, Jpeg };
// ".png" → PNG, ".jpg"/".jpeg"/".jpe"/".jfif" → JPEG, anything else BMP.
TSaveFormat SaveFormatOf(const std::string& fileName);
// The file of the frame in that format.
std::string EncodeFrame(const TBitmap& frame, TSaveFormat format);

class TVmoPrintDialog {
public:
  TVmoPrintDialog(const TIniSection* main, TCallBackClass& provider);

  const TPrintTexts& Texts() const { return m_texts; }
  TCallBackClass& Provider() const { return m_provider; }

  // The picture the print button prints: with the check box the main
  // picture, falling back to the frame; without it the frame. Null when
  // nothing comes (the dialog then closes).
  std::unique_ptr<TBitmap> PictureToPrint(bool onlyMainImage) const;

  // What the save button proposes: with the check box the main picture's
  // file under its own name (its extension as the only choice); otherwise,
  // or when that gives nothing, the frame as "Slide<n>.bmp" with BMP, PNG
  // and JPEG to choose from. None when there is no frame either.
  std::optional<TSaveProposal> SaveProposal(bool onlyMainImage) const;
  // Writes the proposal's data, or the frame in the format of `path`'s
  // extension, to `path`. Raises the file stream's error when it cannot.
  void Save(const TSaveProposal& proposal, const std::string& path) const;

private:
  TPrintTexts m_texts;
  TCallBackClass& m_provider;
};

// Shows the print dialog modally (the window system's back end).
class TPrintDialogRunner {
public:
  virtual ~TPrintDialogRunner() = default;
  virtual void RunPrintDialog(TVmoPrintDialog& dialog) = 0;
};

} // namespace qx
