#pragma once

namespace rowsmith::product {

// The product as the update check and the About box name it.
inline constexpr const char* kName = "Rowsmith";
inline constexpr const char* kVersion = "2.2";
// The release's date and time as a day number (23 October 2001, 19:00:35).
// The update server's stamp for the product is compared with it.
inline constexpr double kBuildStamp = 37187.7920719907;

}  // namespace rowsmith::product
