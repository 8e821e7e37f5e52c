// Lets pending window events run inside long loops, so progress texts and
// STOP buttons work. Callers guard their own handlers against re-entry.
#pragma once

namespace trv {

class EventPump {
public:
    virtual ~EventPump() = default;
    virtual void processEvents() = 0;
    void processEvents(int times) {
        for (int i = 0; i < times; ++i) processEvents();
    }
};

// For programs without windows.
class NoEventPump : public EventPump {
public:
    void processEvents() override {}
};

} // namespace trv
