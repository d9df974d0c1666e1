// Opens the picture at a stream's position with Exiv2 and reads its
// metadata. Exiv2 is the metadata library of the EXIF and IPTC readers: it
// is packaged by the distribution, maintained, and reads every container a
// picture of a show can come in (JPEG, TIFF, PNG, WebP, ...), so the readers
// need no parser of their own for these formats.
#pragma once

#include <exiv2/exiv2.hpp>

#include <functional>

namespace qx {

class TStream;

// Reads the picture's metadata (at most its first kMaxMetadataScan bytes)
// and hands the image to `use` under the library's lock. False when the
// bytes are no picture Exiv2 knows or its metadata cannot be read.
bool WithExiv2Image(TStream& stream, const std::function<void(const Exiv2::Image&)>& use);

} // namespace qx
