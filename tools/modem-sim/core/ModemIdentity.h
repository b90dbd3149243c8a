#pragma once

// What the simulated modem says about itself.
namespace identity {
inline constexpr const char* kManufacturer = "Duplink";
inline constexpr const char* kModel = "Simulated Modem";
inline constexpr const char* kRevision = "1.0";
inline constexpr const char* kProductLine = "Duplink Simulated Modem 1.0";
inline constexpr const char* kProductCode = "9600";
} // namespace identity
