#include "winstub.h"

#include <map>
#include <utility>

namespace {

struct StubState {
    std::map<HWND, winstub::WindowProc> windows;
    uintptr_t nextHandle = 0x10000;
    winstub::MessageBoxPresenter presenter;
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
    // A copy, so that a procedure that destroys its own window stays alive.
    winstub::WindowProc procedure = found->second;
    return procedure(window, message, wParam, lParam);
}

extern "C" int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
    winstub::MessageBoxPresenter presenter = State().presenter;
    if (presenter) presenter(owner, text, caption, type);
    return IDOK;
}

namespace winstub {

HWND CreateWindow(WindowProc procedure) {
    StubState& state = State();
    HWND handle = reinterpret_cast<HWND>(state.nextHandle);
    state.nextHandle += 0x10;
    state.windows.emplace(handle, std::move(procedure));
    return handle;
}

void DestroyWindow(HWND window) { State().windows.erase(window); }

MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter) {
    return std::exchange(State().presenter, std::move(presenter));
}

}  // namespace winstub
