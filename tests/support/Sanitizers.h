#pragma once

// TRV_ADDRESS_SANITIZER is 1 in a build with the address sanitizer, from GCC
// (__SANITIZE_ADDRESS__) or from clang (__has_feature), else 0.
#if defined(__SANITIZE_ADDRESS__)
#define TRV_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TRV_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef TRV_ADDRESS_SANITIZER
#define TRV_ADDRESS_SANITIZER 0
#endif
