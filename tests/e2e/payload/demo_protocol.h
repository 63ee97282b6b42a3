// Messages between the end-to-end payload tests and payload_demo.
#pragma once

#include <windows.h>

constexpr const char* kDemoClass = "PayloadDemoMain";
constexpr const char* kDemoTitle = "payload demo";
constexpr UINT kDemoHold = WM_APP + 1;     // posted by the demo to itself
constexpr UINT kDemoRelease = WM_APP + 2;  // the test lets a hold go
constexpr UINT kDemoProbe = WM_APP + 3;    // the test asks about the animation
