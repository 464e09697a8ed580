// Message boxes and beeps. Nothing is shown: each call is recorded in the
// world, and a box is answered at once with the world's chosen answer.
#include "SimInternal.h"

using namespace sim;

// A fault shows no box and answers 0, as when the box cannot be created.
int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  World& world = Current();
  World::Impl& s = world.impl();
  if (FaultHere("MessageBoxA")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  MessageBoxRecord box;
  box.owner = hWnd;
  char cls[256] = "";
  SimOwnCalls own;
  if (hWnd && !GetClassNameA(hWnd, cls, sizeof cls)) cls[0] = 0;
  box.ownerClass = cls;
  box.caption = lpCaption ? lpCaption : "Error";
  box.text = lpText ? lpText : "";
  box.type = uType;
  box.foreground = s.foreground;
  box.ownerMadeForeground = hWnd && world.lastSetForeground == hWnd && s.foreground == hWnd;
  world.messageBoxes.push_back(box);
  return s.messageBoxAnswer;
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
