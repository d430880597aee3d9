#include "Setup/Data/scriptLines.hpp"
#include "Setup/Script/scriptParser.hpp"

#include <cmath>
#include <cstdio>
#include <memory>

namespace
{
HBITMAP LoadBitmapFile(const std::wstring &path)
{
  return static_cast<HBITMAP>(LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
}

// The weight field read as "%f"; a field that is no finite number weighs 1,
// as a picture without a weight would.
double WeightOf(const std::wstring &text)
{
  float weight = 0;
  if (std::swscanf(text.c_str(), L"%f", &weight) != 1 || !std::isfinite(weight))
    return 1.0;
  return weight;
}
} // namespace

void ScriptParser::Picture(const std::vector<std::wstring> &fields)
{
  auto picture = std::make_unique<CPictureItem>();
  picture->sourcePath = fields[1];
  picture->weight = WeightOf(RestFromField(fields, 2));
  // The picture may come with the installer's own data; else it lies beside it.
  _setup.FillTemporaryFolder();
  std::wstring temporary = _setup.TemporaryFolder();
  if (!temporary.empty())
    picture->bitmap = LoadBitmapFile(temporary + L"\\" + fields[1]);
  if (!picture->bitmap)
    picture->bitmap = LoadBitmapFile(_setup.sourceFolder + fields[1]);
  _setup.pictures.push_back(std::move(picture));
}

void PlacePictures(OwnedList<CPictureItem> &pictures, std::int64_t totalSize)
{
  double weights = 0;
  for (const std::unique_ptr<CPictureItem> &picture : pictures)
    weights += picture->weight;
  double before = 0;
  for (const std::unique_ptr<CPictureItem> &picture : pictures)
  {
    double threshold = weights != 0 ? 0.5 + static_cast<double>(totalSize) / weights * before : 0.0;
    // Weights of mixed signs can make any value; one that does not fit shows
    // the picture at once.
    picture->threshold =
        std::isfinite(threshold) && std::fabs(threshold) < 9.2e18 ? static_cast<std::int64_t>(threshold) : 0;
    before += picture->weight;
  }
}
