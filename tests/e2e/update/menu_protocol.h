// What the update end-to-end test and its programs agree on.
#pragma once

constexpr char kMenuClass[] = "UpdateMenuStandIn";
constexpr char kMenuTitle[] = "テスト用メイン画面";
constexpr int kMenuUpdateButton = 1001;
// The environment variable naming the file that launch_recorder appends to.
constexpr char kLaunchLogVariable[] = "UPD_LAUNCH_LOG";
