#pragma once

// Whether the suite is built with AddressSanitizer (gcc and clang alike).
// Its shadow memory reserves terabytes of address space, so a test that caps
// the address space (RLIMIT_AS) cannot run under it and skips itself.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool AddressSanitizerBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool AddressSanitizerBuild = true;
#else
inline constexpr bool AddressSanitizerBuild = false;
#endif
#else
inline constexpr bool AddressSanitizerBuild = false;
#endif

inline constexpr const char* AddressLimitSkipReason =
    "capping the address space cannot work under AddressSanitizer, whose shadow memory reserves "
    "terabytes of it";
