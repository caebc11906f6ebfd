// The input manager: a queue of input events filled by the engine window's procedure and
// the handlers that receive them. Once per frame ProcessInput pumps the window messages
// and hands every queued event to every handler, newest handler first; the queue is then
// empty again but keeps its capacity, so a steady stream of mouse moves never reallocates.
#pragma once

#include <cstdint>

#include "engine/core/Array.h"
#include "engine/core/InputHandler.h"

namespace Vorn {

class InputManager {
public:
    static constexpr int32_t queueCapacity = 128;  // initial entries
    static constexpr int32_t queueIncrement = 128; // entries added when full

    InputManager();
    ~InputManager();
    InputManager(const InputManager&) = delete;
    InputManager& operator=(const InputManager&) = delete;

    // False when the queue could not be allocated.
    bool IsReady() const;

    // Handlers
    // Status 0 done (also when already registered), 2 no memory, 3 null handler.
    int RegisterHandler(InputHandler* handler);
    int32_t GetHandlerCount() const;

    // Events
    // An event that finds the queue full and no memory to grow it is dropped.
    void PostEvent(const InputEvent& event);
    // Pumps the window messages, then delivers; status 0, or 1 when the pump failed.
    int ProcessInput();
    // Delivers the queued events without pumping and empties the queue.
    void DeliverEvents();
    int32_t GetQueuedCount() const;
    int32_t GetQueueCapacity() const;

    // The process-wide manager, null outside the engine's initialised life.
    static InputManager* GetInstance();

    // One-time registration of the initialiser and of the terminator with the engine
    // lifecycle; each has its own flag.
    static bool RegisterInitializer();
    static bool RegisterTerminator();

private:
    struct HandlerNode;

    static int Initialize();
    static int Terminate();

    Array<InputEvent>* queue;
    HandlerNode* handlers; // head = most recently registered
};

// Every file that uses the manager registers it, so it exists whatever gets linked.
[[maybe_unused]] static const bool inputManagerInitializerRegistration = InputManager::RegisterInitializer();
[[maybe_unused]] static const bool inputManagerTerminatorRegistration = InputManager::RegisterTerminator();

// The process-wide manager's operations, as the host and the window procedure use them.
// Without a manager, RegisterInputHandler and ProcessInput fail with status 1 and a
// posted event is dropped.
int RegisterInputHandler(InputHandler* handler);
void PostInputEvent(const InputEvent& event);
int ProcessInput();

constexpr int32_t unmappedKeyCode = 100;

// Engine key code (0-99) of a Windows virtual-key code; unmappedKeyCode for every key
// without one.
int32_t KeyCodeFromVirtualKey(int virtualKey);

} // namespace Vorn
