#pragma once

#include <stdexcept>
#include <type_traits>

/// Converts `value` to the narrower type To. Throws std::runtime_error
/// "narrow_cast<>() failed" when the value would change (in size or sign).
template <typename To, typename From>
To narrow_cast(From value) {
  const To narrowed = static_cast<To>(value);
  const bool signFlipped = std::is_signed<To>::value != std::is_signed<From>::value &&
                           ((narrowed < To{}) != (value < From{}));
  if (static_cast<From>(narrowed) != value || signFlipped)
    throw std::runtime_error("narrow_cast<>() failed");
  return narrowed;
}
