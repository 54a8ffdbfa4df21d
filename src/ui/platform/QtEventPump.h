#pragma once

#include "engine/host.h"

namespace vx::ui {

class QtEventPump : public EventPump {
  public:
    void PumpEvents() override;
};

}  // namespace vx::ui
