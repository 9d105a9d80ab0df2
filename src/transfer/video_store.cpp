#include "transfer/video_store.h"

#include <array>
#include <exception>
#include <vector>

namespace osd {

namespace {
using video::Table;
constexpr Table kTables[4] = {Table::Ntsc, Table::PalB, Table::PalM, Table::Image};
}  // namespace

bool VideoData::read() {
  // Read everything first: a failed read never leaves the tables half replaced.
  std::array<std::vector<int32_t>, 4> got;
  try {
    for (int t = 0; t < 4; ++t) {
      const std::string name = std::string(video::baseName(kTables[t])) + ".dat";
      const std::string path = video::findFile(dir_, name);
      got[t] = video::readValues(video::readWholeFile(path), video::fieldsRead(kTables[t]), name);
    }
  } catch (const std::exception&) {
    return false;
  }
  video::RegisterTable* registers[3] = {&ntsc_, &palB_, &palM_};
  for (int t = 0; t < 3; ++t) {
    for (int k = 0; k < video::kRegisterCount; ++k) (*registers[t])[k] = got[t][k];
  }
  for (int k = 0; k < video::kImageFieldsRead; ++k) params_[k] = got[3][k];
  return true;
}

void VideoData::useDefaults(int width, int height) {
  ntsc_ = video::defaultRegisters(Table::Ntsc);
  palB_ = video::defaultRegisters(Table::PalB);
  palM_ = video::defaultRegisters(Table::PalM);
  params_ = video::defaultImageParams(width, height);
  const int* tables[4] = {ntsc_.data(), palB_.data(), palM_.data(), params_.data()};
  for (int t = 0; t < 4; ++t) {
    try {
      writeTable(video::baseName(kTables[t]), tables[t]);
    } catch (const std::exception&) {
      // Silent: the defaults stay in memory and the next start tries again.
    }
  }
}

VideoData::Loaded VideoData::load(int width, int height) {
  bool gotFiles = false;
  try {
    gotFiles = read();
  } catch (...) {
    gotFiles = false;
  }
  if (!gotFiles) {
    try {
      useDefaults(width, height);
    } catch (...) {
      // The defaults stay in memory even when the files cannot be written.
    }
  }
  const Loaded loaded{params_};
  if (params_[1] == 0) params_[1] = 240;
  if (params_[3] == 0) params_[3] = 50;
  return loaded;
}

void VideoData::writeTable(const std::string& baseName, const int* table) const {
  const std::string path = video::findFile(dir_, baseName + ".dat");
  video::replaceFile(path, video::formatValues(table));
}

const video::SetupBlock& VideoData::setupBlock(int width, int height) {
  video::fillSetupBlock(block_, width, height, params_);
  return block_;
}

}  // namespace osd
