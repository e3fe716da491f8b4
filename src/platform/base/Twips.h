#pragma once

namespace plume {

// Twips (1/1440 inch) per device pixel of the primary screen: 1440 / its logical DPI,
// 15 at 96 DPI. Without a screen (no QGuiApplication) 96 DPI is assumed.
double twipsPerPixel();

}  // namespace plume
