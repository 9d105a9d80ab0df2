// Qt implementations of the seams live in this folder.
namespace osd::qtplatform {}
