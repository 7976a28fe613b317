// The wizard's logic, shared by every user-interface back end: the page loop,
// the destination page's validation and cancel confirmation, and the progress
// page's start and cancel. Nothing here draws.
#pragma once
#include <cstdint>

#include "app/installer_ui.h"
#include "platform/window.h"

// Shows the pages of the active back end: from the progress page when
// extractToTemp is set, else from the destination page. 1 when the wizard
// finished, 0 when it was cancelled.
int RunWizard(int32_t extractToTemp);

// The destination page's folder field accepts at most this many characters, so
// that every extracted path fits (210 less the longest entry name, at least 1).
uint32_t DestinationTextLimit();

// Validates the folder text for Next (`next`) or Back, shows the first failure's
// message owned by `page` and returns false; on success stores the folder in
// g_installer.targetFolder (for Next creating it when missing and checking its
// room) and returns true. The caller stores the page position on success.
bool ValidateDestination(const ZoChar* text, bool next, plat::WindowHandle page);

// The cancel confirmation of the destination page: true when the user confirms.
bool ConfirmCancel(plat::WindowHandle page);

// The progress page's start: creates the progress object (kept in
// g_installer.progress) on `view` and starts the worker. False when either fails
// (the page must then end itself).
bool StartExtraction(ProgressView* view);

// The progress page's Cancel button: pause, ask, resume or cancel.
void CancelExtraction();

// Waits until the worker has ended and forgets its thread (safe without one).
void FinishExtractionWorker();

// Text with the package's tokens expanded: string `id` through ZoPrintF.
void ExpandString(uint32_t id, ZoChar* out, int capacity);
