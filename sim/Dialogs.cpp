// Message boxes and beeps. Nothing is shown: each call is recorded in the
// world, and a box is answered at once with the world's chosen answer.
#include "SimInternal.h"

namespace sim {

namespace {

int ShowBox(HWND hWnd, const std::string& text, const std::string& caption, UINT uType,
            bool wide) {
  World& world = Current();
  World::Impl& s = world.impl();
  MessageBoxRecord box;
  box.owner = hWnd;
  WindowObj* owner = hWnd ? FindWindowObj(hWnd) : nullptr;
  box.ownerClass = owner ? WideToAnsi(owner->rec.classNameWide, false) : "";
  box.caption = caption;
  box.text = text;
  box.wide = wide;
  box.type = uType;
  box.foreground = s.foreground;
  box.ownerMadeForeground = hWnd && world.lastSetForeground == hWnd && s.foreground == hWnd;
  world.messageBoxes.push_back(box);
  return s.messageBoxAnswer;
}

}  // namespace

}  // namespace sim

using namespace sim;

// A fault shows no box and answers 0, as when the box cannot be created.
int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  if (FaultHere("MessageBoxA")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  return ShowBox(hWnd, lpText ? lpText : "", lpCaption ? lpCaption : "Error", uType, false);
}

// The record holds the texts in the code page, '?' for what it lacks.
int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
  sim::NoteWideCall("MessageBoxW");
  if (FaultHere("MessageBoxW")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  return ShowBox(hWnd, lpText ? WideToAnsi(lpText, false) : "",
                 lpCaption ? WideToAnsi(lpCaption, false) : "Error", uType, true);
}

BOOL MessageBeep(UINT uType) {
  if (FaultHere("MessageBeep")) {
    Current().outputCalls.push_back("MessageBeep " + std::to_string(uType) + " failed");
    return FALSE;
  }
  Current().beeps.push_back(uType);
  Current().outputCalls.push_back("MessageBeep " + std::to_string(uType));
  return TRUE;
}
