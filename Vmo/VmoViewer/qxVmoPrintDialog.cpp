#include "Vmo/VmoViewer/qxVmoPrintDialog.h"

#include "QxLib/Graphics/qxBmpReader.h"
#include "QxLib/Graphics/qxImage.h"
#include "QxLib/Graphics/qxJpegWriter.h"
#include "QxLib/Graphics/qxPngWriter.h"
#include "QxLib/qxFileStream.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxLog.h"
#include "VmoLib2/VmoViewer/qxVmoFileAccessor2.h"

#include <algorithm>
#include <cctype>
#include <exception>

namespace qx {

namespace {

// A main picture's file larger than this is not copied into memory.
constexpr int64_t kMaxCopiedFile = int64_t(256) << 20;

std::string LowerExtension(const std::string& fileName) {
  std::string extension = FileExtension(fileName);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

bool IsJpegExtension(const std::string& extension) {
  return extension == ".jpg" || extension == ".jpeg" || extension == ".jpe" || extension == ".jfif";
}

std::string WithExtension(const std::string& fileName, const std::string& extension) {
  const std::string old = FileExtension(fileName);
  return fileName.substr(0, fileName.size() - old.size()) + extension;
}

std::unique_ptr<TBitmap> Decode(TStream& stream, const std::string& name) {
  std::optional<TImage> image = ImageLoaders().Open(stream, name);
  if (!image)
    return nullptr;
  const std::shared_ptr<const TBitmap> level = image->Store().GetMipLevel(0, TPixelFormat::Bgra32);
  return level ? std::make_unique<TBitmap>(level->Clone()) : nullptr;
}

} // namespace

TPrintTexts ReadPrintTexts(const TIniSection* main) {
  TPrintTexts texts;
  if (!main)
    return texts;
  texts.Caption = main->ReadString("opt_lng_print_caption", texts.Caption);
  texts.PrintButton = main->ReadString("opt_lng_print_button5", texts.PrintButton);
  texts.SaveButton = main->ReadString("opt_lng_print_button6", texts.SaveButton);
  texts.OnlyMainImage = main->ReadString("opt_lng_print_button7", texts.OnlyMainImage);
  texts.ChangePrinter = main->ReadString("opt_lng_print_label", texts.ChangePrinter);
  texts.CanSave = main->ReadBool("CanRestore", false);
  return texts;
}

TCallBackClass::TCallBackClass(TFileAccessor* accessor, const TIniStorage* project, std::unique_ptr<TBitmap> frame,
                               int slideIndex)
    : m_accessor(accessor), m_project(project), m_frame(std::move(frame)), m_slideIndex(slideIndex) {}

TCallBackClass::~TCallBackClass() = default;

std::string TCallBackClass::MainImageName() const {
  if (!m_project)
    return {};
  const TIniSection* slide = m_project->FindSection("slide" + std::to_string(m_slideIndex + 1));
  return slide ? slide->ReadString("picture", "") : std::string();
}

bool TCallBackClass::Request(int mode, std::string& fileName, std::string* data, TBitmap* picture) const {
  fileName = MainImageName();
  if (mode == pmFrame) {
    if (!m_frame || m_frame->IsEmpty() || !picture)
      return false;
    *picture = m_frame->Clone();
    return true;
  }
  if (fileName.empty() || !m_accessor)
    return false;
  // A damaged or missing picture gives nothing; the dialog falls back.
  try {
    std::unique_ptr<TStream> stream = m_accessor->OpenStream(fileName);
    if (!stream)
      return false;
    if (mode == pmMainImage) {
      if (!picture)
        return false;
      std::unique_ptr<TBitmap> decoded = Decode(*stream, fileName);
      if (!decoded || decoded->IsEmpty())
        return false;
      *picture = std::move(*decoded);
      return true;
    }
    if (mode != pmMainImageFile || !data || stream->GetSize() > kMaxCopiedFile)
      return false;
    if (IsJpegExtension(LowerExtension(fileName))) {
      *data = stream->ReadAll();
      return !data->empty();
    }
    std::unique_ptr<TBitmap> decoded = Decode(*stream, fileName);
    if (!decoded || decoded->IsEmpty())
      return false;
    *data = WriteBmp(*decoded);
    fileName = WithExtension(fileName, ".bmp");
    return true;
  } catch (const std::exception& error) {
    Log().WriteLine(std::string("TCallBackClass.Request: ") + error.what());
    return false;
  }
}

bool PrintLandscape(int32_t pictureWidth, int32_t pictureHeight) { return pictureHeight < pictureWidth; }

TPagePlacement PlaceOnPage(int32_t pictureWidth, int32_t pictureHeight, int32_t pageWidth, int32_t pageHeight) {
  TPagePlacement placement;
  placement.Landscape = PrintLandscape(pictureWidth, pictureHeight);
  if (pictureWidth <= 0 || pictureHeight <= 0 || pageWidth <= 0 || pageHeight <= 0)
    return placement;
  const int64_t widthAtPageHeight = int64_t(pictureWidth) * pageHeight / pictureHeight;
  if (widthAtPageHeight < pageWidth) {
    placement.Width = static_cast<int32_t>(widthAtPageHeight);
    placement.Height = pageHeight;
  } else {
    placement.Width = pageWidth;
    placement.Height = static_cast<int32_t>(int64_t(pictureHeight) * pageWidth / pictureWidth);
  }
  placement.Left = (pageWidth - placement.Width) / 2;
  placement.Top = (pageHeight - placement.Height) / 2;
  return placement;
}

std::string SavePath(const TSaveProposal& proposal, const std::string& chosen) {
  if (!FileExtension(chosen).empty() || proposal.Extensions.empty() || proposal.Extensions.front().empty())
    return chosen;
  return chosen + "." + proposal.Extensions.front();
}

TSaveFormat SaveFormatOf(const std::string& fileName) {
  const std::string extension = LowerExtension(fileName);
  if (extension == ".png")
    return TSaveFormat::Png;
  if (IsJpegExtension(extension))
    return TSaveFormat::Jpeg;
  return TSaveFormat::Bmp;
}

std::string EncodeFrame(const TBitmap& frame, TSaveFormat format) {
  switch (format) {
  case TSaveFormat::Png: return EncodePng(frame);
  case TSaveFormat::Jpeg: return EncodeJpeg(frame);
  case TSaveFormat::Bmp: break;
  }
  return WriteBmp(frame);
}

TVmoPrintDialog::TVmoPrintDialog(const TIniSection* main, TCallBackClass& provider)
    : m_texts(ReadPrintTexts(main)), m_provider(provider) {}

std::unique_ptr<TBitmap> TVmoPrintDialog::PictureToPrint(bool onlyMainImage) const {
  auto picture = std::make_unique<TBitmap>();
  std::string name;
  if (onlyMainImage && m_provider.Request(TCallBackClass::pmMainImage, name, nullptr, picture.get()))
    return picture;
  if (m_provider.Request(TCallBackClass::pmFrame, name, nullptr, picture.get()))
    return picture;
  return nullptr;
}

std::optional<TSaveProposal> TVmoPrintDialog::SaveProposal(bool onlyMainImage) const {
  std::string name;
  if (onlyMainImage) {
    std::string data;
    if (m_provider.Request(TCallBackClass::pmMainImageFile, name, &data, nullptr) && !name.empty()) {
      TSaveProposal proposal;
      // The proposed name is the file name alone, without the show's folders.
      const size_t slash = name.find_last_of("/\\");
      proposal.FileName = slash == std::string::npos ? name : name.substr(slash + 1);
      std::string extension = FileExtension(proposal.FileName);
      proposal.Extensions.push_back(extension.empty() ? std::string() : extension.substr(1));
      proposal.Data = std::move(data);
      return proposal;
    }
  }
  const TBitmap* frame = m_provider.Frame();
  if (!frame || frame->IsEmpty())
    return std::nullopt;
  TSaveProposal proposal;
  proposal.FileName = "Slide" + std::to_string(m_provider.SlideIndex() + 1) + ".bmp";
  proposal.Extensions = {"bmp", "png", "jpg"};
  return proposal;
}

void TVmoPrintDialog::Save(const TSaveProposal& proposal, const std::string& path) const {
  std::string bytes;
  if (proposal.Data) {
    bytes = *proposal.Data;
  } else {
    const TBitmap* frame = m_provider.Frame();
    if (!frame || frame->IsEmpty())
      return;
    bytes = EncodeFrame(*frame, SaveFormatOf(path));
  }
  TFileStream file(path, TFileMode::Create);
  file.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

} // namespace qx
