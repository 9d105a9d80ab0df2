// The video-controller data files on arbitrary text: splitting into fields, the values of the
// four tables, and what is built from them (the image-settings line, the setup block, the
// text written back).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "transfer/video_data.h"

using namespace osd;
using namespace osd::video;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> fields = splitFields(text);
  FUZZ_CHECK(fields.size() <= size + 1);
  for (const std::string& f : fields) {
    try {
      (void)fieldValue(f);
    } catch (const DataError&) {
    }
  }

  for (int count : {kImageFieldsRead, kRegisterCount}) {
    std::vector<int32_t> values;
    try {
      values = readValues(text, count, "Video-NTSBData.dat");
    } catch (const DataError& e) {
      FUZZ_CHECK(std::string(e.what()).find("Video-NTSBData.dat") != std::string::npos);
      continue;
    }
    FUZZ_CHECK(values.size() == static_cast<size_t>(count));

    // What the program builds from the values it read.
    ImageParams params = defaultImageParams(256, 64);
    RegisterTable regs = defaultRegisters(Table::Ntsc);
    for (int k = 0; k < count; ++k) {
      if (k < kImageParamCount) params[static_cast<size_t>(k)] = values[static_cast<size_t>(k)];
      regs[static_cast<size_t>(k)] = values[static_cast<size_t>(k)];
    }
    const std::string line = imageSettingsText(params);
    FUZZ_CHECK(line.size() == std::string("Image Parameters:").size() + 16 * 3);
    SetupBlock block{};
    const int width = size > 0 ? data[0] * 4 : 256;
    const int height = size > 1 ? data[1] * 2 : 64;
    fillSetupBlock(block, width, height, params);
    FUZZ_CHECK(block[0] == 85 && block[1] == 170);

    // Written back and read again: every value that fits the 4-character column returns.
    const std::string written = formatValues(regs.data(), kLinesWritten);
    const std::vector<int32_t> again = readValues(written, kLinesWritten, "again");
    for (int k = 0; k < kLinesWritten; ++k) {
      const int32_t v = regs[static_cast<size_t>(k)];
      if (v >= -999 && v <= 9999) FUZZ_CHECK(again[static_cast<size_t>(k)] == v);
    }
  }
  return 0;
}
