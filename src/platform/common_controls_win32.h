#pragma once
namespace perchlet::win32 {

// Loads the common controls, once, before the first message box or dialog: they give its
// buttons the look the manifest asks for. Not at start-up, as most runs show no window at all
// and the library keeps some 3 MiB resident for the whole run.
void ensureCommonControls();

}  // namespace perchlet::win32
