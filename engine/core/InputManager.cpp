#include "engine/core/InputManager.h"

#include <new>

#include "engine/core/Engine.h"
#include "engine/core/Log.h"
#include "engine/core/Platform.h"
#include "engine/core/Pointer.h"

namespace Vorn {

struct InputManager::HandlerNode {
    Pointer<InputHandler> handler;
    HandlerNode* next;
};

namespace {

InputManager* instance = nullptr;
bool initializerRegistered = false;
bool terminatorRegistered = false;

} // namespace

InputManager::InputManager()
    : queue(new (std::nothrow) Array<InputEvent>(queueCapacity, queueIncrement)), handlers(nullptr)
{
}

InputManager::~InputManager()
{
    delete queue;
    while (handlers) {
        HandlerNode* node = handlers;
        handlers = node->next;
        delete node;
    }
}

bool InputManager::IsReady() const
{
    return queue && queue->GetCapacity() == queueCapacity;
}

int InputManager::RegisterHandler(InputHandler* handler)
{
    if (!handler) {
        LogWarning("Указатель на обработчик ввода равен 0.");
        return 3;
    }
    for (HandlerNode* node = handlers; node; node = node->next) {
        if (node->handler == handler) {
            LogWarning("Обработчик ввода [%s] уже зарегестрирован.", handler->GetName().GetBuffer());
            return 0;
        }
    }
    HandlerNode* node = new (std::nothrow) HandlerNode{ Pointer<InputHandler>(handler), handlers };
    if (!node) {
        LogError("Недостаточно памяти для регистрации обработчика ввода [%s].", handler->GetName().GetBuffer());
        return 2;
    }
    handlers = node;
    return 0;
}

int32_t InputManager::GetHandlerCount() const
{
    int32_t count = 0;
    for (HandlerNode* node = handlers; node; node = node->next)
        ++count;
    return count;
}

void InputManager::PostEvent(const InputEvent& event)
{
    if (queue)
        queue->Append(event);
}

int InputManager::ProcessInput()
{
    if (PumpMessages() != 0) {
        LogError("Системный ввод неудачен.");
        return 1;
    }
    DeliverEvents();
    return 0;
}

void InputManager::DeliverEvents()
{
    if (!queue)
        return;
    for (HandlerNode* node = handlers; node; node = node->next) {
        // The count is read again after every call, so events a handler posts while it
        // runs reach it and every later handler in this same pass. Each handler gets a
        // copy: a post may grow the queue and move the records.
        for (int32_t i = 0; i < queue->GetCount(); ++i) {
            const InputEvent event = (*queue)[i];
            node->handler->OnInput(&event);
        }
    }
    // Consumed even when nobody listened.
    queue->Clear();
}

int32_t InputManager::GetQueuedCount() const
{
    return queue ? queue->GetCount() : 0;
}

int32_t InputManager::GetQueueCapacity() const
{
    return queue ? queue->GetCapacity() : 0;
}

InputManager* InputManager::GetInstance()
{
    return instance;
}

bool InputManager::RegisterInitializer()
{
    if (initializerRegistered)
        return true;
    Engine::AddInitializer(&InputManager::Initialize);
    initializerRegistered = true;
    return true;
}

bool InputManager::RegisterTerminator()
{
    if (terminatorRegistered)
        return true;
    Engine::AddTerminator(&InputManager::Terminate);
    terminatorRegistered = true;
    return true;
}

int InputManager::Initialize()
{
    LogInfo("Инициализация менеджера ввода.");
    // A second start without a shutdown in between begins afresh rather than leak.
    delete instance;
    instance = new (std::nothrow) InputManager();
    if (!instance || !instance->IsReady()) {
        delete instance;
        instance = nullptr;
        LogError("Недостаточно памяти для инициализации менеджера ввода.");
        return 1;
    }
    LogInfo("Менеджер ввода инициализирован.");
    return 0;
}

int InputManager::Terminate()
{
    LogInfo("Завершение работы менеджера ввода.");
    delete instance;
    instance = nullptr;
    LogInfo("Менеджер ввода завершил работу.");
    return 0;
}

namespace {

// Input is taken only between engine start and shutdown; a call outside that life is a
// host mistake worth a line in the log.
void ReportMissingManager()
{
    LogError("Менеджер ввода не инициализирован.");
}

} // namespace

int RegisterInputHandler(InputHandler* handler)
{
    if (!instance) {
        ReportMissingManager();
        return 1;
    }
    return instance->RegisterHandler(handler);
}

void PostInputEvent(const InputEvent& event)
{
    // The window procedure may still run for a window outliving the engine: drop it.
    if (instance)
        instance->PostEvent(event);
}

int ProcessInput()
{
    if (!instance) {
        ReportMissingManager();
        return 1;
    }
    return instance->ProcessInput();
}

namespace {

struct KeyRange {
    int firstVirtualKey;
    int lastVirtualKey;
    int32_t firstCode;
};

// Runs of consecutive virtual keys with consecutive codes.
constexpr KeyRange keyRanges[] = {
    { 0x30, 0x39, 0 },  // digits 0-9
    { 0x41, 0x5A, 10 }, // letters A-Z
    { 0x70, 0x7B, 50 }, // F1-F12
    { 0x60, 0x69, 74 }, // numeric pad 0-9
};

struct KeyRow {
    int virtualKey;
    int32_t code;
};

// The generic shift, control and alt keys (0x10-0x12) and the Windows keys are left out
// on purpose: only the left and right variants have codes.
constexpr KeyRow keyRows[] = {
    { 0x6B, 36 }, // numeric pad add
    { 0xDE, 37 }, // apostrophe
    { 0x08, 38 }, // backspace
    { 0xDC, 39 }, // backslash
    { 0x14, 40 }, // caps lock
    { 0xBC, 41 }, // comma
    { 0x2E, 42 }, // delete
    { 0x6F, 43 }, // numeric pad divide
    { 0xBE, 44 }, // period
    { 0x28, 45 }, // down arrow
    { 0x23, 46 }, // end
    { 0x0D, 47 }, // enter
    { 0xBB, 48 }, // equals
    { 0x1B, 49 }, // escape
    { 0xC0, 62 }, // grave accent
    { 0x24, 63 }, // home
    { 0x2D, 64 }, // insert
    { 0xDB, 65 }, // left bracket
    { 0xA2, 66 }, // left control
    { 0x25, 67 }, // left arrow
    { 0xA4, 68 }, // left alt
    { 0xA0, 69 }, // left shift
    { 0xBD, 70 }, // minus
    { 0x6A, 71 }, // numeric pad multiply
    { 0x22, 72 }, // page down
    { 0x90, 73 }, // num lock
    { 0x6E, 84 }, // numeric pad decimal
    { 0x6D, 85 }, // numeric pad subtract
    { 0x13, 86 }, // pause
    { 0x21, 87 }, // page up
    { 0x2C, 88 }, // print screen
    { 0xDD, 89 }, // right bracket
    { 0xA3, 90 }, // right control
    { 0x27, 91 }, // right arrow
    { 0xA5, 92 }, // right alt
    { 0xA1, 93 }, // right shift
    { 0x91, 94 }, // scroll lock
    { 0xBA, 95 }, // semicolon
    { 0xBF, 96 }, // slash
    { 0x20, 97 }, // space
    { 0x09, 98 }, // tab
    { 0x26, 99 }, // up arrow
};

// Every code below unmappedKeyCode belongs to exactly one virtual key.
constexpr int32_t CountMappedCodes()
{
    int32_t count = sizeof(keyRows) / sizeof(keyRows[0]);
    for (const KeyRange& range : keyRanges)
        count += range.lastVirtualKey - range.firstVirtualKey + 1;
    return count;
}
static_assert(CountMappedCodes() == unmappedKeyCode, "every engine key code below 100 needs its virtual key");

} // namespace

int32_t KeyCodeFromVirtualKey(int virtualKey)
{
    for (const KeyRange& range : keyRanges)
        if (virtualKey >= range.firstVirtualKey && virtualKey <= range.lastVirtualKey)
            return range.firstCode + (virtualKey - range.firstVirtualKey);
    for (const KeyRow& row : keyRows)
        if (row.virtualKey == virtualKey)
            return row.code;
    return unmappedKeyCode;
}

} // namespace Vorn
