#include "convert/png_decoder.h"

#include <png.h>

#include <QSysInfo>
#include <cstring>
#include <vector>

namespace osd::convert {

namespace {

// Everything a decode keeps lives here, outside the frames the library's error jump leaves:
// those frames hold nothing that needs destroying.
struct Job {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t at = 0;
  std::string error;
  png_uint_32 width = 0, height = 0;
  bool deep = false;  // 16 bits a sample
  PngColourChunks colour;
  QImage image;
  std::vector<png_bytep> rows;
};

void onError(png_structp png, png_const_charp message) {
  static_cast<Job*>(png_get_error_ptr(png))->error = message ? message : "damaged";
  png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}  // the picture still converts

void readBytes(png_structp png, png_bytep out, size_t n) {
  Job& job = *static_cast<Job*>(png_get_io_ptr(png));
  if (n > job.size - job.at) png_error(png, "the file is cut short");
  std::memcpy(out, job.data + job.at, n);
  job.at += n;
}

// Chunks that play no part in the picture: never kept, never unpacked.
constexpr png_byte kIgnored[] = "tEXt\0zTXt\0iTXt\0sPLT\0eXIf\0tIME\0hIST\0pCAL\0sCAL\0sTER";

void readHeader(png_structp png, png_infop info, Job& job) {
  png_read_info(png, info);
  int depth = 0, type = 0;
  png_get_IHDR(png, info, &job.width, &job.height, &depth, &type, nullptr, nullptr, nullptr);
  job.deep = depth == 16;

  int intent = 0;
  job.colour.srgb = png_get_sRGB(png, info, &intent) != 0;
  png_charp name = nullptr;
  int compression = 0;
  png_bytep profile = nullptr;
  png_uint_32 length = 0;
  if (png_get_iCCP(png, info, &name, &compression, &profile, &length) && profile)
    job.colour.icc = QByteArray(reinterpret_cast<const char*>(profile), length);
  if (png_get_valid(png, info, PNG_INFO_gAMA)) png_get_gAMA(png, info, &job.colour.gamma);
  if (png_get_valid(png, info, PNG_INFO_cHRM)) {
    PngColourChunks& c = job.colour;
    c.hasChromaticities = png_get_cHRM(png, info, &c.white[0], &c.white[1], &c.red[0], &c.red[1],
                                       &c.green[0], &c.green[1], &c.blue[0], &c.blue[1]) != 0;
  }

  // Every kind becomes red, green, blue and alpha at 8 or 16 bits.
  const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  png_set_expand(png);  // palette and grey under 8 bits to 8 bits; tRNS to alpha
  if (!(type & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
  if (!(type & PNG_COLOR_MASK_ALPHA) && !trns)
    png_set_add_alpha(png, job.deep ? 0xffff : 0xff, PNG_FILLER_AFTER);
  if (job.deep && QSysInfo::ByteOrder == QSysInfo::LittleEndian) png_set_swap(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != size_t(job.width) * (job.deep ? 8 : 4))
    png_error(png, "unexpected row layout");
}

void readRows(png_structp png, Job& job) {
  png_read_image(png, job.rows.data());
}

// Runs one step of the decode; false when the library reported an error.
template <typename Step>
bool guarded(png_structp png, Step step) {
  if (setjmp(png_jmpbuf(png))) return false;
  step();
  return true;
}

}  // namespace

bool isPng(const QByteArray& bytes) {
  return bytes.size() >= 8 &&
         png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes.data()), 0, 8) == 0;
}

QColorSpace colourSpaceOf(const PngColourChunks& c) {
  if (c.srgb) return QColorSpace::SRgb;
  if (!c.icc.isEmpty()) {
    const QColorSpace profiled = QColorSpace::fromIccProfile(c.icc);
    if (profiled.isValid()) return profiled;
  }
  const bool gamma = c.gamma > 0;
  const auto transfer =
      gamma ? QColorSpace::TransferFunction::Gamma : QColorSpace::TransferFunction::SRgb;
  const float exponent = gamma ? static_cast<float>(1.0 / c.gamma) : 0.0f;
  if (c.hasChromaticities) {
    const QColorSpace primaries(QPointF(c.white[0], c.white[1]), QPointF(c.red[0], c.red[1]),
                                QPointF(c.green[0], c.green[1]), QPointF(c.blue[0], c.blue[1]),
                                transfer, exponent);
    if (primaries.isValid()) return primaries;
  }
  if (!gamma) return QColorSpace::SRgb;
  return QColorSpace(QColorSpace::Primaries::SRgb, transfer, exponent);
}

void toSrgb(QImage& image, const QColorSpace& space) {
  if (!space.isValid() || space == QColorSpace(QColorSpace::SRgb)) return;
  // The decoder's own formats are transformed in place; anything else (one bit a pixel,
  // packed 16-bit colour, a palette) is widened first, so that no colour is left as it was.
  const QImage::Format wide = image.depth() > 32 ? QImage::Format_RGBA64 : QImage::Format_ARGB32;
  if (image.format() != wide && image.format() != QImage::Format_RGBA8888) image.convertTo(wide);
  image.setColorSpace(space);
  image.convertToColorSpace(QColorSpace::SRgb);
}

QImage decodePng(const QByteArray& bytes, const DecodeLimits& limits, std::string& error) {
  Job job;
  job.data = reinterpret_cast<const uint8_t*>(bytes.data());
  job.size = static_cast<size_t>(bytes.size());
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &job, onError, onWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    error = "not enough memory to read the picture";
    return {};
  }
  png_set_read_fn(png, &job, readBytes);
  png_set_benign_errors(png, 1);  // a damaged ancillary chunk is dropped, not fatal
  png_set_chunk_malloc_max(png, limits.maxChunkBytes);
  png_set_chunk_cache_max(png, 64);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kIgnored, sizeof kIgnored / 5);

  bool ok = guarded(png, [&] { readHeader(png, info, job); });
  const long long pixels = static_cast<long long>(job.width) * job.height;
  if (ok && (job.width > unsigned(limits.maxSide) || job.height > unsigned(limits.maxSide) ||
             pixels > limits.maxPixels || pixels * (job.deep ? 8 : 4) > limits.maxBytes)) {
    error = "the picture is too large (" + std::to_string(job.width) + " x " +
            std::to_string(job.height) + ")";
    png_destroy_read_struct(&png, &info, nullptr);
    return {};
  }
  if (ok) {
    job.image = QImage(int(job.width), int(job.height),
                       job.deep ? QImage::Format_RGBA64 : QImage::Format_RGBA8888);
    if (job.image.isNull()) job.error = "not enough memory for the picture";
    ok = !job.image.isNull();
  }
  if (ok) {
    job.rows.resize(job.height);
    for (png_uint_32 y = 0; y < job.height; ++y) job.rows[y] = job.image.scanLine(int(y));
    ok = guarded(png, [&] { readRows(png, job); });
  }
  png_destroy_read_struct(&png, &info, nullptr);
  if (!ok) {
    error = "not a picture that can be read (" + job.error + ")";
    return {};
  }
  toSrgb(job.image, colourSpaceOf(job.colour));
  return std::move(job.image);
}

}  // namespace osd::convert
