#pragma once
// The four lines under the splash picture.

inline constexpr const char* kSplashProductLine = "Orvanta " ORVANTA_VERSION;
inline constexpr const char* kSplashCopyrightLine = "Copyright (C) 1998 The Orvanta developers";
inline constexpr const char* kSplashRightsLine = "All rights reserved.";
inline constexpr const char* kSplashWebLine = "https://orvanta.invalid";
