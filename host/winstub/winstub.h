// Linux stand-in for the few Windows user-interface calls the plug-in makes,
// with the same names and signatures, plus what a host needs to take part:
// window objects with their own window procedure and a presenter for
// message boxes. Built as libuser32.so so that the plug-in links the same way
// as on Windows.
#pragma once

#include <cstdint>
#include <functional>

struct HWND__;
typedef HWND__* HWND;
typedef unsigned int UINT;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;

constexpr UINT WM_USER = 0x0400;
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr UINT MB_ICONINFORMATION = 0x00000040;
constexpr int IDOK = 1;

extern "C" {

// Calls the window's procedure synchronously and returns its result; 0 for a
// null or unknown window, as Windows does.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Hands the box to the presenter and returns IDOK, as a user closing it would.
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);

}  // extern "C"

namespace winstub {

using WindowProc = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;
using MessageBoxPresenter = std::function<void(HWND owner, const char* text, const char* caption, UINT type)>;

// A new window; its handle is never reused within the process.
HWND CreateWindow(WindowProc procedure);
// Afterwards the handle is unknown and messages to it return 0.
void DestroyWindow(HWND window);

// Replaces the presenter; an empty one shows nothing. Returns the old one.
MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter);

}  // namespace winstub
