// The program against the simulated node on the in-process line, on the virtual clock.
#include "support/sim_line.h"

#include <gtest/gtest.h>

#include "support/bmp_builder.h"

using namespace osd;
using namespace osd::test;

// The node counts the picture and its fillers to the end of its memory and holds the picture
// rows top line first: the program and the node agree on every byte.
TEST(SimLine, WholeDownloadIsStoredByteForByte) {
  const struct {
    int memoryKiB, w, h;
  } cases[] = {{64, 256, 64}, {64, 16, 2}, {512, 720, 616}, {64, 256, 254}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h));
    Harness h;
    SimLine line(h, {c.memoryKiB, 1});
    App& app = *h.app;
    app.session().setMemorySize(c.memoryKiB * 1024);
    app.session().setLargeMemory(c.memoryKiB == 512);
    h.loop.setTimerEnabled(TimerId::Delay, true);
    std::string path = h.dir + "/logo.bmp";
    writeFile(path,
              makeBitmap24(c.w, c.h, [&](int r, int col) { return stripedLogo(r, col, c.w); }));
    app.bench().logos().selected = 1;
    app.choices().chooseFormat(PixelFormat::Rgb);
    ASSERT_EQ(app.logos().readFile(path), 0) << app.statusLine().view().errorText;
    std::vector<int> values(2000001, 0);
    app.logos().encodeLogo(1, values);
    app.dispatcher().run(Command::Wake, "00");
    app.download().run();
    h.ticks(10);
    EXPECT_FALSE(app.statusLine().view().errorShown) << app.statusLine().view().errorText;
    EXPECT_TRUE(line.node.downloadsEnded() == 1 && line.node.lastDownloadComplete());
    EXPECT_EQ(line.node.imageWidth() * 1000 + line.node.imageHeight(), c.w * 1000 + c.h);
    const std::vector<uint8_t>& memory = line.node.imageMemory();
    int wrong = 0;
    for (int r = 0; r < c.h; ++r)
      for (int col = 0; col < c.w; ++col)
        wrong += memory[static_cast<size_t>((c.h - 1 - r) * c.w + col)] !=
                 static_cast<uint8_t>(values[static_cast<size_t>(r * c.w + col)]);
    EXPECT_EQ(wrong, 0);
  }
}
