// The logo-generator models: a model number is also how many logos the node holds. The one
// list every part of the program checks a model number against and names in its messages.
#pragma once

#include <algorithm>
#include <array>
#include <string>

namespace osd {

inline constexpr std::array<int, 7> kLogoModels = {1, 2, 3, 4, 7, 15, 31};

constexpr bool isLogoModel(long long number) {
  return std::find(kLogoModels.begin(), kLogoModels.end(), number) != kLogoModels.end();
}

// "1, 2, 3, 4, 7, 15 or 31", for messages that name the models.
inline std::string logoModelsText() {
  std::string text;
  for (size_t i = 0; i < kLogoModels.size(); ++i) {
    if (i > 0) text += i + 1 < kLogoModels.size() ? ", " : " or ";
    text += std::to_string(kLogoModels[i]);
  }
  return text;
}

}  // namespace osd
