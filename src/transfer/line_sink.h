// The download job on the serial link: its bytes go out through the dispatcher, its waits
// run on the main tick and the erase timer. The window and osdctl both download through it.
#pragma once

#include <cstdint>
#include <string>

#include "link/dispatcher.h"
#include "link/link_service.h"
#include "platform/seams.h"
#include "transfer/download_job.h"

namespace osd {

// The port as the download job sees it.
class LineSink : public ByteSink {
 public:
  LineSink(Dispatcher& dispatcher, LinkService& link) : dispatcher_(dispatcher), link_(link) {}
  // False when the dispatcher did not get the bytes to the port (it has said why).
  bool write(const std::string& bytes) override { return dispatcher_.send(bytes); }
  int64_t waiting() const override { return link_.held(); }
  bool isOpen() const override { return link_.isOpen(); }
  void carried() override { link_.line().carried(); }

 private:
  Dispatcher& dispatcher_;
  LinkService& link_;
};

// Waits of main ticks on the dispatcher's shared wait (counted down by the main tick, which
// must be running), the loop's events between them, and the 10 s erase wait on its timer.
DownloadHooks lineWaits(Dispatcher& dispatcher, EventLoop& loop);

}  // namespace osd
