// Device-independent input events and the handlers that receive them. The engine window
// turns keyboard, mouse and window-close messages into events; the input manager hands
// each queued event to every registered handler, newest handler first.
#pragma once

#include <cstdint>

#include "engine/core/Named.h"
#include "engine/core/RefCounted.h"

namespace Vorn {

enum class InputDevice : int32_t { Keyboard = 0, Mouse = 1, Window = 2 };
enum class InputAction : int32_t { Press = 1, Release = 2, Move = 3, Close = 4 };

struct InputEvent {
    int32_t device; // InputDevice
    int32_t action; // InputAction
    int32_t code;   // key code; mouse button (0 left, 1 right, 2 middle); x of a move
    int32_t value;  // y of a mouse move, otherwise 0
};

class InputHandler : public Named, public virtual RefCounted {
public:
    explicit InputHandler(const String& handlerName = String()) : Named(handlerName) {}
    virtual int OnInput(const InputEvent* event) = 0;
};

} // namespace Vorn
