#pragma once

// Records every shell launch while it lives, instead of handing it to the desktop.

#include "platform/desktop/ShellLauncher.h"

#include <vector>

namespace plume::test {

class LaunchCapture {
  public:
    LaunchCapture() {
        setShellLaunchSink([this](const ShellLaunch& launch) {
            m_launches.push_back(launch);
            return true;
        });
    }
    ~LaunchCapture() { setShellLaunchSink({}); }
    LaunchCapture(const LaunchCapture&) = delete;
    LaunchCapture& operator=(const LaunchCapture&) = delete;
    const std::vector<ShellLaunch>& launches() const { return m_launches; }

  private:
    std::vector<ShellLaunch> m_launches;
};

}  // namespace plume::test
