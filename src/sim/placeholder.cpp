// The simulated node lives in this folder.
namespace osd::sim {}
