#include "ctl/choices.h"

#include "settings/node_choices.h"

namespace osd::ctl {

namespace {

constexpr From U = From::Unused, O = From::Option, S = From::Settings, E = From::OptionElseSettings;

// command, format, transparent, standard, node, model, colour
constexpr Honoured kHonoured[] = {
    {"encode", O, O, U, U, U, U},   {"check", U, U, U, U, U, U},    {"ports", U, U, U, U, U, U},
    {"identify", U, U, U, O, U, U}, {"download", O, O, S, O, U, U}, {"upload", U, U, U, O, E, E},
    {"send", U, U, U, U, U, U},     {"select", U, U, U, O, U, U},   {"convert", O, O, U, U, U, U},
    {"scan", U, U, U, U, U, U},     {"apply", O, O, S, O, U, U},    {"help", U, U, U, U, U, U},
};
constexpr Honoured kNone{"", U, U, U, U, U, U};

bool fromSettings(From from) {
  return from == From::Settings || from == From::OptionElseSettings;
}

}  // namespace

const Honoured& honoured(const std::string& command) {
  for (const Honoured& h : kHonoured) {
    if (command == h.command) return h;
  }
  return kNone;
}

Choices resolveChoices(const std::string& command, const GivenChoices& given, Preferences& prefs) {
  const Honoured& h = honoured(command);
  Choices c;
  if (h.format != From::Unused) c.format = given.format.value_or(c.format);
  if (!given.format && fromSettings(h.format)) {
    c.format = prefs.rgb() ? PixelFormat::Rgb : PixelFormat::YCbCr;
  }
  if (h.transparent != From::Unused) c.transparent = given.transparent.value_or(c.transparent);
  if (!given.transparent && fromSettings(h.transparent)) c.transparent = prefs.transparent();
  if (h.node != From::Unused) c.node = given.node.value_or(c.node);
  if (fromSettings(h.standard) && given.placed) c.pal = prefs.pal();
  NodeChoices stored(prefs);
  if (given.model) {
    c.model = h.model != From::Unused ? *given.model : 0;
  } else if (fromSettings(h.model)) {
    stored.restoreModel();
    c.model = stored.model();
  }
  if (h.colour != From::Unused && given.colour) {
    c.colour = true;
  } else if (fromSettings(h.colour)) {
    stored.restoreColourNode();
    c.colour = stored.colourNode();
  }
  return c;
}

}  // namespace osd::ctl
