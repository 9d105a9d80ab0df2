// Answer reception on arbitrary byte streams: the bytes arrive at the fake port in chunks of
// sizes chosen by the input, the 25 ms tick runs between them, with or without a pending
// read-back, on a monochrome or colour node, during a download or not; then the answer text
// goes through processData directly.
//
// Input: byte 0 holds the flags (bit 0 read-back pending, bit 1 colour node, bit 2 a download
// runs, bit 3 the port fails its reads part way); then records of one length byte L followed
// by L bytes of line data (L = 0: two ticks pass without data).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "support/fakes.h"

using namespace osd;
using osd::test::Harness;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t flags = data[0];
  Harness h;
  h.openPort(3);
  h.app->choices().setColourNode((flags & 2) != 0);
  h.app->download().holdLine((flags & 4) != 0);
  if (flags & 1) {
    h.app->session().awaitReadBack(20);
  }
  h.loop.setTimerEnabled(TimerId::Delay, true);

  size_t at = 1;
  size_t records = 0;
  size_t longestBuffer = 0;
  while (at < size) {
    const size_t length = std::min<size_t>(data[at], size - at - 1);
    ++at;
    const std::string chunk(reinterpret_cast<const char*>(data + at), length);
    at += length;
    if ((flags & 8) && ++records == 5) h.port.failReads = true;
    if (chunk.empty()) {
      h.ticks(2);
    } else {
      h.port.receive(chunk);
      h.ticks(1);
    }
    longestBuffer = std::max(longestBuffer, h.app->session().buffered().size());
    // An ordinary answer is kept to a bounded tail, whatever the node sends.
    if (!h.app->session().readBackPending()) {
      FUZZ_CHECK(h.app->session().buffered().size() <= 16384 + 2500);
    }
  }
  // Let every pending poll run out: the reception settles.
  h.port.failReads = false;
  h.ticks(40);
  FUZZ_CHECK(h.app->session().polls() == 0 || h.app->link().valid());
  if (!h.app->link().valid()) FUZZ_CHECK(h.app->session().buffered().empty());

  // The answer text itself, as the reception hands it over (at most 100 characters) and
  // whole.
  const std::string all(reinterpret_cast<const char*>(data + 1), size - 1);
  const int before = h.app->session().replyCount();
  h.app->session().process(all.size() > 100 ? all.substr(all.size() - 100) : all);
  h.app->session().process(all);
  FUZZ_CHECK(h.app->session().replyCount() == (before + 2) % 10000);
  FUZZ_CHECK(h.app->session().memorySize() >= 0);
  (void)longestBuffer;
  return 0;
}
