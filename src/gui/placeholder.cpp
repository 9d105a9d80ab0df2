// The Qt windows live in this folder.
namespace osd::gui {}
