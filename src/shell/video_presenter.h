// Video data: the video standard and the pixel format options, the figures of the image
// control table and the video controller, the setup block built before a download, and the
// commands that edit the data files or write them to the node.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "common/pixel_format.h"
#include "image/logo_slots.h"
#include "link/dispatcher.h"
#include "link/link_service.h"
#include "platform/seams.h"
#include "settings/node_choices.h"
#include "shell/status_presenter.h"
#include "shell/view_state.h"
#include "transfer/video_store.h"

namespace osd {

// The data files the Edit menu opens.
enum class VideoFile { Ntsc, PalB, PalM, ImageControl };

struct VideoView {
  std::optional<bool> pal;            // none: neither standard chosen yet
  std::optional<PixelFormat> format;  // none: neither format chosen yet
  std::string imageSettings = "Image Parameters:";
  std::string videoSettings = "Video ADV7171:";
};

class VideoPresenter : public ViewState<VideoView> {
 public:
  // What the video area needs of the others.
  struct Links {
    std::function<void()> reloadRecent;  // the recent logo read again (the standard changed)
    // What the setup block's bar goes through (the download's, so inside a download the bar
    // stays the download's); none: the status line.
    std::function<Reporter&()> reporter;
  };

  VideoPresenter(VideoData& video, LogoSlots& logos, NodeChoices& choices, Dispatcher& dispatcher,
                 LinkService& link, StatusPresenter& status, Dialogs& dialogs, Launcher& launcher,
                 std::string dataDir, Links links);

  std::string imagesDir() const { return dataDir_ + "/Images"; }
  // The standard chosen: stored, and the recent logo is read again for its height.
  void chooseStandard(bool pal);
  void chooseFormat(PixelFormat format);
  // Start-up: the data files (their failures reported), then both options from the settings.
  void restore();
  void showChoices();
  // The image control table's figures (after a logo or a placement changed them).
  void showParams() { showParams(video_.params()); }
  void showParams(const video::ImageParams& params);
  // A logo of `width` x `height` pixels was loaded: the table's size entries follow.
  void imageLoaded(int width, int height);
  // The node's settings answer.
  void showControl(int value);

  void editFile(VideoFile file);
  void saveCurrentSettings();
  void sendSetup();
  // The setup block for the current logo, built before a download; nothing while the
  // dispatcher is guarded or the port is not usable.
  void buildSetupBlock();

 private:
  VideoData& video_;
  LogoSlots& logos_;
  NodeChoices& choices_;
  Dispatcher& dispatcher_;
  LinkService& link_;
  StatusPresenter& status_;
  Dialogs& dialogs_;
  Launcher& launcher_;
  std::string dataDir_;
  Links links_;
};

}  // namespace osd
