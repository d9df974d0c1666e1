// Test photos with metadata: a small JPEG made with libjpeg, then EXIF and
// IPTC fields written into it with Exiv2, the way cameras and photo tools
// leave them.
#pragma once

#include <exiv2/exiv2.hpp>
#include <jpeglib.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace qx::test {

struct TPhotoMetadata {
  // Exiv2 keys ("Exif.Image.DateTime") and their values.
  std::map<std::string, std::string> Exif;
  // IPTC keys ("Iptc.Application2.City") and their values; a key may repeat.
  std::vector<std::pair<std::string, std::string>> Iptc;
};

inline std::string EncodeTestJpeg(int width, int height) {
  jpeg_compress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_start_compress(&info, TRUE);
  std::vector<unsigned char> row(static_cast<size_t>(width) * 3);
  while (info.next_scanline < info.image_height) {
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<unsigned char>(x * 255 / width);
      row[3 * x + 1] = static_cast<unsigned char>(info.next_scanline * 255 / info.image_height);
      row[3 * x + 2] = 128;
    }
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::string jpeg(reinterpret_cast<const char*>(buffer), size);
  std::free(buffer);
  return jpeg;
}

inline std::string MakeMetadataPhoto(int width, int height, const TPhotoMetadata& metadata) {
  const std::string jpeg = EncodeTestJpeg(width, height);
  Exiv2::BasicIo::AutoPtr memory(
      new Exiv2::MemIo(reinterpret_cast<const Exiv2::byte*>(jpeg.data()), static_cast<long>(jpeg.size())));
  Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(memory);
  image->readMetadata();
  Exiv2::ExifData exif;
  for (const auto& [key, value] : metadata.Exif)
    exif[key] = value;
  Exiv2::IptcData iptc;
  for (const auto& [key, value] : metadata.Iptc) {
    Exiv2::Iptcdatum datum{Exiv2::IptcKey(key)};
    datum.setValue(value);
    iptc.add(datum);
  }
  image->setExifData(exif);
  image->setIptcData(iptc);
  image->writeMetadata();
  Exiv2::BasicIo& io = image->io();
  io.seek(0, Exiv2::BasicIo::beg);
  const Exiv2::DataBuf data = io.read(static_cast<long>(io.size()));
  return std::string(reinterpret_cast<const char*>(data.pData_), static_cast<size_t>(data.size_));
}

// The metadata of the macro tests: every EXIF and IPTC field a macro reads.
inline TPhotoMetadata FullMetadata() {
  TPhotoMetadata m;
  m.Exif["Exif.Image.DateTime"] = "2009:10:21 14:05:33";
  m.Exif["Exif.Image.ImageDescription"] = "Harbour at dusk";
  m.Exif["Exif.Photo.UserComment"] = "charset=Ascii Taken from the pier";
  m.Iptc = {{"Iptc.Application2.ObjectName", "Evening"},
            {"Iptc.Application2.SpecialInstructions", "Do not crop"},
            {"Iptc.Application2.Byline", "  Ann Author  "},
            {"Iptc.Application2.Byline", "Second Author"},
            {"Iptc.Application2.BylineTitle", " Photographer "},
            {"Iptc.Application2.City", "Lisbon"},
            {"Iptc.Application2.SubLocation", "Alfama"},
            {"Iptc.Application2.ProvinceState", "Lisboa"},
            {"Iptc.Application2.CountryName", "Portugal"},
            {"Iptc.Application2.TransmissionReference", "OTR-42"},
            {"Iptc.Application2.Headline", "Boats"},
            {"Iptc.Application2.Credit", "Studio"},
            {"Iptc.Application2.Source", "Archive"},
            {"Iptc.Application2.Copyright", "(c) Ann"},
            {"Iptc.Application2.Caption", "Boats in the harbour"},
            {"Iptc.Application2.Writer", " Ed Itor "}};
  return m;
}

} // namespace qx::test
