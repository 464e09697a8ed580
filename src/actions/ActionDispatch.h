// The output of a run: what happens with the SelectionList.
#ifndef TAVIX_ACTIONS_ACTIONDISPATCH_H
#define TAVIX_ACTIONS_ACTIONDISPATCH_H

// Outputs the SelectionList (at least one path) for the TargetWindow.
void DispatchAction();

#endif
