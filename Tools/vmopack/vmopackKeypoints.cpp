// vmopack keypoints SHOW SLIDE OBJECT --at T1,T2,...: the animated values of
// one object of a slide at the given show times, one tab-separated line per
// time, evaluated by the player's own key point code.
#include "Tools/vmopack/vmopackCommand.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxUtf8.h"
#include "VmoLib2/VmoClasses/qxKeyPointsLoader.h"
#include "VmoLib2/VmoClasses/qxVmoSource2.h"
#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"

#include <charconv>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

namespace qx::vmopack {

namespace {

constexpr double kRadiansToDegrees = 180 / std::numbers::pi;

// Animated values are single precision: seven significant digits, which
// also hides the rounding of degrees turned into radians and back.
std::string FormatValue(double value) {
  constexpr int kFloatDigits = 7;
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, kFloatDigits);
  return std::string(buffer, result.ptr);
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (true) {
    const size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos)
      return parts;
    start = end + 1;
  }
}

std::vector<double> ParseTimes(std::string_view text) {
  std::vector<double> times;
  for (const std::string_view part : Split(text, ',')) {
    double time = 0;
    const auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), time);
    if (part.empty() || ec != std::errc() || end != part.data() + part.size())
      throw EUsageError("bad time \"" + std::string(part) + "\" in --at");
    times.push_back(time);
  }
  return times;
}

int ParseSlidePosition(const std::string& text) {
  int position = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), position);
  if (ec != std::errc() || end != text.data() + text.size() || position < 1)
    throw EUsageError("SLIDE must be a play position from 1, not \"" + text + "\"");
  return position;
}

// The object at a "/"-separated path of object names below a slide section;
// key point blocks are not objects.
const TIniObject& FindObjectPath(const TIniIdentList& section, std::string_view path) {
  const TIniIdentList* parent = &section;
  const TIniObject* found = nullptr;
  for (const std::string_view name : Split(path, '/')) {
    found = nullptr;
    for (const TIniObject* child = parent->FirstObject(); child; child = parent->NextObject(child)) {
      if (SameText(Trim(child->Name()), name) && !SameText(Trim(child->ClassName()), kKeyPointClassName)) {
        found = child;
        break;
      }
    }
    if (!found)
      throw EQxError("no object \"" + std::string(path) + "\" in the slide");
    parent = found;
  }
  return *found;
}

std::string ValuesLine(double time, const TKeyValues& v) {
  std::string line = FormatTime(time);
  for (const double value :
       {double(v.Opacity), v.Angle * kRadiansToDegrees, v.AngleX * kRadiansToDegrees, v.AngleY * kRadiansToDegrees,
        double(v.ScaleX), double(v.ScaleY), double(v.Position.X), double(v.Position.Y), double(v.ZPos),
        double(v.CenterPos.X), double(v.CenterPos.Y), double(v.Blur)}) {
    line += '\t';
    line += FormatValue(value);
  }
  line += '\n';
  return line;
}

} // namespace

int RunKeypoints(const TCommandArgs& args) {
  TCommandArgs rest = args;
  const std::optional<std::string> at = TakeOption(rest, "--at");
  if (!at)
    throw EUsageError("--at is required");
  ExpectPositional(rest, 3);
  const std::vector<double> times = ParseTimes(*at);
  const int position = ParseSlidePosition(rest[1]);

  const std::unique_ptr<TVmoShowLocator> locator = OpenShowOrFail(rest[0]);
  if (!locator->ProjectStorage())
    throw EQxError("Slide-show File Damaged");
  TVmoSource source(locator->Accessor(), *locator->ProjectStorage());
  if (source.SlideCount() <= 0)
    throw EQxError("the show has no slides");

  // Play positions past the last slide are the slides of later repetitions.
  const int index = position - 1;
  TSlideTimes slide;
  source.GetSlideTimes(index, slide);
  const TFixedAnchors anchors(
      {slide.SlideStart, slide.SlideStart + slide.InEffect, slide.SlideEnd, slide.SlideEnd + slide.OutEffect});
  const TIniSection* section = source.SlideSection(index % source.SlideCount());
  if (!section)
    throw EQxError("slide " + rest[1] + " has no section in the project");

  TKeyPoints keyPoints(anchors);
  LoadObjectKeyPoints(FindObjectPath(*section, rest[2]), keyPoints);

  std::string out;
  for (const double time : times) {
    keyPoints.Evaluate(time);
    out += ValuesLine(time, keyPoints.Current());
  }
  WriteToStdout(out);
  return 0;
}

} // namespace qx::vmopack
