#include "winstub.h"

#include <map>
#include <memory>
#include <utility>

namespace {

// Held by shared pointers so that a call can keep what it calls alive (a
// procedure may destroy its own window) without copying, which could throw.
struct StubState {
    std::map<HWND, std::shared_ptr<const winstub::WindowProc>> windows;
    uintptr_t nextHandle = 0x10000;
    std::shared_ptr<const winstub::MessageBoxPresenter> presenter;
};

StubState& State() {
    static StubState state;
    return state;
}

}  // namespace

extern "C" LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto& windows = State().windows;
    auto found = windows.find(window);
    if (window == nullptr || found == windows.end()) return 0;
    const std::shared_ptr<const winstub::WindowProc> procedure = found->second;
    return (*procedure)(window, message, wParam, lParam);
}

extern "C" int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
    const std::shared_ptr<const winstub::MessageBoxPresenter> presenter = State().presenter;
    if (presenter && *presenter) (*presenter)(owner, text, caption, type);
    return IDOK;
}

namespace winstub {

HWND CreateWindow(WindowProc procedure) {
    StubState& state = State();
    HWND handle = reinterpret_cast<HWND>(state.nextHandle);
    state.nextHandle += 0x10;
    state.windows.emplace(handle, std::make_shared<const WindowProc>(std::move(procedure)));
    return handle;
}

void DestroyWindow(HWND window) { State().windows.erase(window); }

MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter) {
    auto previous = std::exchange(State().presenter, std::make_shared<const MessageBoxPresenter>(std::move(presenter)));
    return previous ? *previous : MessageBoxPresenter();
}

}  // namespace winstub
