// Choosing the window to read and starting the output.
#ifndef TAVIX_TARGET_TARGETDRIVER_H
#define TAVIX_TARGET_TARGETDRIVER_H

void SelectTarget();

#endif
