// Test support: the banner compositing formula computed step by step through memory, so each
// step is rounded to a float even where the compiler would keep more precision in registers.
#pragma once

namespace quillet::testing {

inline int ReferenceComposite(int colour, int background, int alpha) {
  if (alpha == 255) return colour;
  volatile float f = static_cast<float>(alpha) * 0.003921569f;
  volatile float weighted = f * static_cast<float>(colour);
  volatile float rest = 1.0f - f;
  volatile float under = static_cast<float>(background) * rest;
  volatile float sum = weighted + under;
  const int cut = static_cast<int>(sum);
  return cut < 0 ? 0 : cut > 255 ? 255 : cut;
}

}  // namespace quillet::testing
